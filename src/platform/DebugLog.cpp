#include "DebugLog.h"

#include "System.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vistrel {

namespace {

std::mutex sinkMutex;
std::function<void(const std::string&)> sink;

bool enabled() {
    static const bool on = [] {
        const char* value = std::getenv("VISTREL_DEBUG");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    return on;
}

} // namespace

void debugLog(const char* format, ...) {
    std::unique_lock guard(sinkMutex);
    if (!sink && !enabled()) return;
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (sink) {
        sink(text);
        return;
    }
    std::fprintf(stderr, "vistrel %8.1f ms: %s\n", millisecondsSinceProcessStart(), text);
}

void setDebugLogSink(std::function<void(const std::string&)> newSink) {
    std::lock_guard guard(sinkMutex);
    sink = std::move(newSink);
}

} // namespace vistrel
