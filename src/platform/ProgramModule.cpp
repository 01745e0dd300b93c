#include "ProgramModule.h"

#include "Files.h"

namespace vistrel {

std::string findProgramModule(const char* folder, const char* name) {
    std::string above = executablePath();
    for (int up = 0; up < 4; ++up) {
        const std::size_t slash = above.rfind('/');
        if (slash == std::string::npos || slash == 0) break;
        above.resize(slash);
        if (up == 0) continue; // the program's own folder
        std::string path = above + "/" + folder + "/" + name;
        if (isRegularFile(path)) return path;
    }
    return {};
}

} // namespace vistrel
