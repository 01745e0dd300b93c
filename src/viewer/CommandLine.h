// The one picture path of the command line, and the two requests for information.
#pragma once

#include <string>

namespace vistrel {

// The program's arguments (after its name) joined with single spaces: the command line as one
// text, the way the rules below were written for it.
std::string JoinArguments(int argc, const char* const* argv);

// The path a command line names: empty for an empty line; after a leading double quote, the text
// up to the next double quote (the rest when there is none); otherwise the whole text, blanks
// included. There are no switches.
std::string PathFromCommandLine(const std::string& commandLine);

// What the program prints for a command line that is exactly "--help" or "--version" before it
// ends; empty for every other command line, which names a picture. (A picture named "--help" is
// opened as "./--help".)
std::string InformationFor(const std::string& commandLine);

} // namespace vistrel
