#include "DebugLog.h"

#include <time.h>
#include <unistd.h>

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

// Since the process started, so that a trace of the start-up lines up with a timing taken from
// outside the program.
double processMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long long startTicks = 0;
    if (std::FILE* stat = std::fopen("/proc/self/stat", "r")) {
        // Field 22 is the start time in clock ticks since boot; the name (field 2) may hold
        // blanks, so the fields are counted after its closing parenthesis.
        char line[1024];
        if (std::fgets(line, sizeof line, stat)) {
            if (const char* rest = std::strrchr(line, ')')) {
                int field = 2;
                for (const char* p = rest + 1; *p && field < 22; ++p)
                    if (*p == ' ' && ++field == 22) startTicks = std::strtoull(p + 1, nullptr, 10);
            }
        }
        std::fclose(stat);
    }
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double sinceBoot = double(boot.tv_sec) * 1e3 + double(boot.tv_nsec) / 1e6;
    return sinceBoot - double(startTicks) * 1e3 / double(sysconf(_SC_CLK_TCK));
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
    std::fprintf(stderr, "vistrel %8.1f ms: %s\n", processMilliseconds(), text);
}

void setDebugLogSink(std::function<void(const std::string&)> newSink) {
    std::lock_guard guard(sinkMutex);
    sink = std::move(newSink);
}

} // namespace vistrel
