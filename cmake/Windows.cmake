# The parts of the Windows build, included by the top-level CMakeLists.txt when the target is
# Windows. The core's folders join here as they gain their Windows code paths; for now the build
# proves the toolchain, the cross-built libraries and the Wine runner with tests/win.
if(VISTREL_TESTS)
    enable_testing()
    find_package(GTest REQUIRED CONFIG)
    include(GoogleTest)
    add_subdirectory(tests/win)
endif()
