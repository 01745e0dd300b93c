# The cost of the first write into a large fresh block, with and without the advice for huge
# pages (src/memory/PagesPosix.cpp): build/bench/first-touch-bench [--rounds N] [--fragment MB].
if(NOT WIN32)
    add_executable(first-touch-bench ${CMAKE_CURRENT_LIST_DIR}/first_touch_bench.cpp)
    target_link_libraries(first-touch-bench PRIVATE vistrel_memory)
endif()
