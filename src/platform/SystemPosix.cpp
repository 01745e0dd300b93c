#include "System.h"

#include <dlfcn.h>
#include <langinfo.h>
#include <locale.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <wchar.h>
#include <wctype.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vistrel {

namespace {

// One niceness step. Only raising the niceness is allowed unprivileged; every new thread starts
// from its creator's niceness.
constexpr int kLowerPriorityStep = 1;

// The user's locale (from the environment, as a desktop program takes it) for collation. Its
// character classes come from C.UTF-8 when the locale itself is not UTF-8: file names are UTF-8
// whatever the locale says, and the plain "C" locale would fold only ASCII letters.
locale_t collationLocale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_ALL_MASK, "", locale_t(0));
        if (!l) l = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
        if (!l) l = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (l && std::strcmp(nl_langinfo_l(CODESET, l), "UTF-8") != 0) {
            if (locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", l)) l = utf8;
        }
        return l;
    }();
    return locale;
}

} // namespace

uint64_t physicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
}

void lowerThreadPriority() {
    // A batch thread never preempts the thread that wakes it. The window thread wakes the workers
    // with every step, while it holds the control lock: a worker that took its processor there
    // would keep it from the lock's release, and on a busy machine from its next frame, for a
    // whole time slice (10 to 40 ms under load, against 0.02 ms).
    sched_param batch{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
    const id_t thread = static_cast<id_t>(gettid());
    errno = 0;
    const int niceness = getpriority(PRIO_PROCESS, thread);
    if (niceness == -1 && errno != 0) return;
    setpriority(PRIO_PROCESS, thread, niceness + kLowerPriorityStep);
}

double millisecondsSinceProcessStart() {
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

void* openLibrary(const char* name) {
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

void closeLibrary(void* library) {
    if (library) dlclose(library);
}

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::wstring localeSortKey(std::u32string_view text) {
    const locale_t locale = collationLocale();
    std::wstring folded;
    folded.reserve(text.size());
    for (const char32_t code : text) {
        const wint_t wide = static_cast<wint_t>(code);
        folded.push_back(static_cast<wchar_t>(locale ? towlower_l(wide, locale) : wide));
    }
    if (!locale) return folded;
    // wcsxfrm gives a text whose plain order is the locale's collation order.
    const std::size_t length = wcsxfrm_l(nullptr, folded.c_str(), 0, locale);
    if (length == std::size_t(-1)) return folded;
    std::wstring key(length + 1, L'\0');
    wcsxfrm_l(key.data(), folded.c_str(), key.size(), locale);
    key.resize(length);
    return key;
}

} // namespace vistrel
