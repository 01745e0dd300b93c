// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vistrel {

class TestFolder {
public:
    TestFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vistrel-browse-XXXXXX");
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "no scratch folder";
        path_ = pattern + "/";
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // Makes an empty file (its bytes do not matter to a fake decode) and returns its path.
    std::string file(const std::string& name) {
        std::ofstream(path_ + name).put('x');
        return path_ + name;
    }
    std::string folder(const std::string& name) {
        std::filesystem::create_directory(path_ + name);
        return path_ + name;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_; // with its trailing "/"
};

} // namespace vistrel
