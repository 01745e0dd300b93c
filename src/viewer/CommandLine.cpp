#include "CommandLine.h"

#include "Files.h"

namespace vistrel {

namespace {

constexpr const char* kUsage = "Usage: vistrel [--new-window] [PICTURE...]\n";

bool fileExists(const std::string& path) {
    return !path.empty() && fileKind(path.c_str()) != FileKind::Missing;
}

std::string joined(const std::vector<std::string>& arguments) {
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) line += ' ';
        line += arguments[i];
    }
    return line;
}

} // namespace

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
    return std::string(kUsage) +
           "A small, fast picture viewer for JPEG, PNG, BMP, GIF, TGA, ICO, CUR, WMF and PSD "
           "files.\n"
           "It opens PICTURE in a window as large as the picture (or reduced to fit the screen);\n"
           "the arrow keys and the wheel step through its folder, or through the PICTUREs given,\n"
           "Esc closes, a right click opens the menu. Without a picture it shows its start page\n"
           "with the keyboard and mouse map. A path with blanks may be given with or without\n"
           "double quotes. While a Vistrel window runs, the PICTUREs are shown in it instead.\n"
           "\n"
           "  --new-window  open a window of its own, also when Vistrel already runs\n"
           "  --help        print this text and end\n"
           "  --version     print the version and end\n"
           "\n"
#ifdef _WIN32
           "Settings are kept in HKEY_CURRENT_USER\\Software\\Quorbane\\Vistrel.\n";
#else
           "Settings are kept in ~/.config/Quorbane/Vistrel.conf.\n";
#endif
}

CommandLine ReadCommandLine(int argc, const char* const* argv,
                            const std::function<bool(const std::string&)>& exists) {
    CommandLine read;
    const std::string line = JoinArguments(argc, argv);
    if (std::string text = InformationFor(line); !text.empty()) {
        read.answer = std::move(text);
        return read;
    }
    if (line.empty()) return read;
    if (const std::string path = PathFromCommandLine(line); exists(path)) {
        read.pictures = {path};
        return read;
    }
    std::vector<std::string> rest(argv + 1, argv + argc);
    std::size_t first = 0;
    for (; first < rest.size(); ++first) {
        const std::string& argument = rest[first];
        // A file called like an option is a picture.
        if (argument.rfind("--", 0) != 0 || exists(argument)) break;
        if (argument == "--") {
            ++first;
            break;
        }
        if (argument == "--new-window") {
            read.newWindow = true;
            continue;
        }
        if (std::string text = InformationFor(argument); !text.empty()) {
            read.answer = std::move(text);
            return read;
        }
        read.answer = "vistrel: unknown option '" + argument + "'\n" + kUsage +
                      "Try 'vistrel --help' for more.\n";
        read.status = 2;
        return read;
    }
    rest.erase(rest.begin(), rest.begin() + std::ptrdiff_t(first));
    if (rest.empty()) return read;
    const std::string path = PathFromCommandLine(joined(rest));
    if (rest.size() == 1 || exists(path))
        read.pictures = {path};
    else
        read.pictures = std::move(rest);
    return read;
}

CommandLine ReadCommandLine(int argc, const char* const* argv) {
    return ReadCommandLine(argc, argv, fileExists);
}

std::string FailureLine(const std::string& path, DecodeResult result) {
    std::string line = "vistrel: " + path + ": " + result.text();
    if (result.refusal() == Refusal::CannotOpen) {
        const std::string why = whyUnreadable(path.c_str());
        if (!why.empty()) line += ": " + why;
    }
    return line + " (" + result.word() + ")\n";
}

} // namespace vistrel
