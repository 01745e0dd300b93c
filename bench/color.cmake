# The colour path on a 6000x4000 photo: `cmake --build build --target bench_color` makes the same
# picture as a JPEG with a Display P3 profile and without one (once, in build/bench/color), then
# times in interleaved rounds the first frame, the full load and the conversion alone against
# lcms2 used as its transicc and jpgicc tools use it (one thread, one transform over the picture).
add_executable(vistrel-bench-color ${CMAKE_CURRENT_LIST_DIR}/color_bench.cpp)
target_link_libraries(vistrel-bench-color PRIVATE vistrel_picture PkgConfig::LCMS2)
add_custom_target(bench_color
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/color.sh $<TARGET_FILE:vistrel-bench-color>
        $<TARGET_FILE:vistrel_make_profiles> ${CMAKE_BINARY_DIR}/bench/color
    DEPENDS vistrel-bench-color vistrel_make_profiles USES_TERMINAL)
