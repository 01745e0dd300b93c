// The program's debug log: one line per event on standard error, when the environment variable
// VISTREL_DEBUG is set (to anything but "0"), each line stamped with the milliseconds since the
// process started. Silent otherwise; tests may take the lines instead.
#pragma once

#include <functional>
#include <string>

namespace vistrel {

// printf-style; the line ends by itself.
void debugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends every line (without its stamp) to `sink` instead, logging or not; an empty function
// restores the default.
void setDebugLogSink(std::function<void(const std::string&)> sink);

} // namespace vistrel
