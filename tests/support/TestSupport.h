// Helpers shared by the test programs: whole-file reads and a scratch folder that is removed with
// everything in it when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vistrel::test {

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = std::filesystem::temp_directory_path() / "vistrel-test-XXXXXX";
        if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "no scratch folder";
        path_ = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Writes the file `name` (its bytes rarely matter) and returns its path.
    std::string file(const std::string& name, const std::string& bytes = "x") const {
        std::ofstream(path_ + name, std::ios::binary) << bytes;
        return path_ + name;
    }
    std::string folder(const std::string& name) const {
        std::filesystem::create_directories(path_ + name);
        return path_ + name;
    }
    const std::string& path() const { return path_; } // ends in "/"

private:
    std::string path_;
};

} // namespace vistrel::test
