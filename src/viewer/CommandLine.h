// The one picture path of the command line.
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

} // namespace vistrel
