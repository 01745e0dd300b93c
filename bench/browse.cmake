# Stepping through a folder of large JPEG pictures with the arrow key held down: how often a step
# waits for the worker's decode. `cmake --build build --target bench_browse` makes the pictures
# (once) and runs it.
if(TARGET vistrel_platform_qt)
    add_executable(browse_bench ${CMAKE_CURRENT_LIST_DIR}/browse/browse_bench.cpp)
    target_link_libraries(browse_bench PRIVATE vistrel_browse vistrel_platform_qt)
    add_custom_target(bench_browse
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/browse/run_browse_bench.sh
                $<TARGET_FILE:browse_bench> ${CMAKE_BINARY_DIR}/benchdata/browse
        DEPENDS browse_bench
        USES_TERMINAL)
endif()
