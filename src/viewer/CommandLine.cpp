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

std::string InformationFor(const std::string& commandLine) {
    if (commandLine == "--version") return "vistrel " VISTREL_VERSION "\n";
    if (commandLine != "--help") return {};
    return "Usage: vistrel [PICTURE]\n"
           "A small, fast picture viewer for JPEG, PNG, BMP, GIF, TGA, ICO, CUR, WMF and PSD "
           "files.\n"
           "It opens PICTURE in a window as large as the picture (or reduced to fit the screen);\n"
           "the arrow keys and the wheel step through its folder, Esc closes, a right click\n"
           "opens the menu. Without a picture it shows its start page with the keyboard and\n"
           "mouse map. A path with blanks may be given with or without double quotes.\n"
           "\n"
           "  --help     print this text and end\n"
           "  --version  print the version and end\n"
           "\n"
#ifdef _WIN32
           "Settings are kept in HKEY_CURRENT_USER\\Software\\Quorbane\\Vistrel.\n";
#else
           "Settings are kept in ~/.config/Quorbane/Vistrel.conf.\n";
#endif
}

} // namespace vistrel
