// What the command line asks for: the picture, the pictures to step through, or information.
#pragma once

#include "DecodeResult.h"

#include <functional>
#include <string>
#include <vector>

namespace vistrel {

// The program's arguments (after its name) joined with single spaces: the command line as one
// text, the way the rules below were written for it.
std::string JoinArguments(int argc, const char* const* argv);

// The path a command line names: empty for an empty line; after a leading double quote, the text
// up to the next double quote (the rest when there is none); otherwise the whole text, blanks
// included.
std::string PathFromCommandLine(const std::string& commandLine);

// What the program prints for a command line that is exactly "--help" or "--version" before it
// ends; empty for every other command line. (A picture named "--help" is opened as "./--help".)
std::string InformationFor(const std::string& commandLine);

struct CommandLine {
    // Printed before the program ends at once with `status`: the answer to --help or --version
    // (status 0, standard output), or a usage error (status 2, standard error). Empty: run.
    std::string answer;
    int status = 0;
    // The picture to open; or, when the arguments name several, the pictures to step through in
    // their order. Paths as given (relative ones from the working folder).
    std::vector<std::string> pictures;
    // --new-window: a window of its own, even where one already runs.
    bool newWindow = false;
};

// Reads the arguments. A command line whose joined text names an existing file (see
// PathFromCommandLine) opens that file, whatever it looks like: a path with blanks needs no
// quotes. Otherwise leading arguments that start with "--" are options (--new-window, --help,
// --version; "--" ends them) unless a file has that name, and an unknown one is a usage error;
// the rest is one picture path when it is one argument (or joined names a file), else the
// pictures to step through. `exists` tells whether a path names a file.
CommandLine ReadCommandLine(int argc, const char* const* argv,
                            const std::function<bool(const std::string&)>& exists);
CommandLine ReadCommandLine(int argc, const char* const* argv);

// The line the program writes on standard error for a picture of its command line that did not
// open: "vistrel: PATH: why (word)", with the system's reason for a file that cannot be opened.
std::string FailureLine(const std::string& path, DecodeResult result);

} // namespace vistrel
