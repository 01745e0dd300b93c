#include "CommandLine.h"

namespace vistrel {

std::string JoinArguments(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

std::string PathFromCommandLine(const std::string& commandLine) {
    if (commandLine.empty() || commandLine[0] != '"') return commandLine;
    const std::size_t close = commandLine.find('"', 1);
    return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

} // namespace vistrel
