# PSD reader against ImageMagick and ag-psd on large files, and the layer compositor and export
# against psd-tools: `cmake --build build --target
# bench_psd` (makes the files in build/bench/psd on the first run, then times every reader in
# interleaved rounds and prints medians and ratios).
add_executable(psd_bench ${CMAKE_CURRENT_LIST_DIR}/psd_bench.cpp)
target_link_libraries(psd_bench PRIVATE vistrel_psd vistrel_picture)
add_custom_target(bench_psd
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/psd_bench.py
        --bench $<TARGET_FILE:psd_bench> --work ${CMAKE_BINARY_DIR}/bench/psd
        --npm ${CMAKE_SOURCE_DIR}/tests/psd --tool $<TARGET_FILE:vistrel-psd>
    DEPENDS psd_bench vistrel-psd USES_TERMINAL)
