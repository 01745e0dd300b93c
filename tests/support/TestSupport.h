// Helpers shared by the test programs: whole-file reads and a scratch folder that is removed with
// everything in it when the test ends. Paths are the program's own: "/" between names.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace vistrel::test {

// A UTF-8 path as the standard library takes it on every system (a plain std::string would be
// read in the Windows code page).
inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Environment variables of this process (the C library's and the system's alike).
inline void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}
inline void unsetEnvironment(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

class ScratchFolder {
public:
    ScratchFolder() {
#ifdef _WIN32
        // A name no other folder has: creating an existing folder fails.
        static std::random_device seed;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path folder = base / ("vistrel-test-" + std::to_string(seed()));
            std::error_code error;
            if (std::filesystem::create_directory(folder, error))
                path_ = folder.generic_string() + "/";
        }
        if (path_.empty()) ADD_FAILURE() << "no scratch folder";
#else
        std::string pattern = std::filesystem::temp_directory_path() / "vistrel-test-XXXXXX";
        if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "no scratch folder";
        path_ = pattern + "/";
#endif
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(fsPath(path_), ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Writes the file `name` (its bytes rarely matter) and returns its path.
    std::string file(const std::string& name, const std::string& bytes = "x") const {
        std::ofstream(fsPath(path_ + name), std::ios::binary) << bytes;
        return path_ + name;
    }
    std::string folder(const std::string& name) const {
        std::filesystem::create_directories(fsPath(path_ + name));
        return path_ + name;
    }
    const std::string& path() const {
        return path_;
    } // ends in "/"

private:
    std::string path_;
};

} // namespace vistrel::test
