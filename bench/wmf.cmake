# The WMF player on small files that ask for far more drawing than any picture should take: each
# should end within a few seconds, by the player's work budget. `cmake --build build --target
# bench_wmf` writes them into build/bench/wmf and times them.
if(TARGET vistrel_platform_qt)
    add_executable(vistrel-bench-wmf ${CMAKE_CURRENT_LIST_DIR}/wmf_bench.cpp)
    target_link_libraries(vistrel-bench-wmf PRIVATE vistrel_picture vistrel_platform_qt)
    set(wmf_bench_dir ${CMAKE_BINARY_DIR}/bench/wmf)
    add_custom_target(bench_wmf
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/wmf_worst_cases.py ${wmf_bench_dir}
        COMMAND vistrel-bench-wmf ${wmf_bench_dir}/rectangles.wmf ${wmf_bench_dir}/triangles.wmf
            ${wmf_bench_dir}/outlines.wmf ${wmf_bench_dir}/texts.wmf ${wmf_bench_dir}/fonts.wmf
            ${wmf_bench_dir}/bitmaps.wmf ${wmf_bench_dir}/hatched.wmf
            ${wmf_bench_dir}/inverted.wmf ${wmf_bench_dir}/dashes.wmf
            ${wmf_bench_dir}/zigzag-50.wmf ${wmf_bench_dir}/zigzag-400.wmf
            ${wmf_bench_dir}/zigzag-32767.wmf ${wmf_bench_dir}/scatter-262144.wmf
            ${wmf_bench_dir}/star-400.wmf
        DEPENDS vistrel-bench-wmf
        USES_TERMINAL VERBATIM)
endif()
