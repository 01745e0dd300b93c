#include "System.h"

#include "Files.h"
#include "Wide.h"

#include <shellapi.h>

namespace vistrel {

namespace {

uint64_t fileTimeValue(const FILETIME& time) {
    return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

} // namespace

uint64_t physicalMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? uint64_t(status.ullTotalPhys) : 0;
}

void lowerThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

double millisecondsSinceProcessStart() {
    FILETIME created{}, ended{}, kernel{}, user{}, now{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
    GetSystemTimePreciseAsFileTime(&now);
    // Both count 100-nanosecond intervals.
    return double(int64_t(fileTimeValue(now) - fileTimeValue(created))) / 1e4;
}

void* openLibrary(const char* name) {
    const std::string program = executablePath();
    const std::size_t slash = program.rfind('/');
    if (slash == std::string::npos) return nullptr;
    // By its full path, so that the libraries it needs in turn are looked for beside it too.
    const std::wstring path = systemPath(program.substr(0, slash + 1) + name);
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* librarySymbol(void* library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

std::vector<std::string> programArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::wstring localeSortKey(std::u32string_view text) {
    std::wstring utf16;
    utf16.reserve(text.size());
    for (char32_t code : text) {
        if (code >= 0x10000) {
            code -= 0x10000;
            utf16.push_back(wchar_t(0xD800 + (code >> 10)));
            utf16.push_back(wchar_t(0xDC00 + (code & 0x3FF)));
        } else {
            utf16.push_back(wchar_t(code));
        }
    }
    if (utf16.empty()) return {};
    // The key is bytes; each becomes one character of the returned text, so that the texts
    // compare as the bytes do.
    constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, utf16.c_str(),
                                   int(utf16.size()), nullptr, 0, nullptr, nullptr, 0);
    if (size <= 0) return utf16;
    std::string bytes(std::size_t(size), '\0');
    LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, utf16.c_str(), int(utf16.size()),
                  reinterpret_cast<LPWSTR>(bytes.data()), size, nullptr, nullptr, 0);
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    std::wstring key;
    key.reserve(bytes.size());
    for (const char byte : bytes)
        key.push_back(wchar_t(uint8_t(byte)));
    return key;
}

} // namespace vistrel
