// Helpers for tests that decode generated files.
#pragma once

#include "ArgbPixels.h"
#include "TestSupport.h"

#include <string>

namespace vistrel::test {

inline std::string testFile(const std::string& name) {
    return std::string(VISTREL_TESTDATA) + "/" + name;
}

} // namespace vistrel::test
