# PSD reader against ImageMagick and ag-psd on large files: `cmake --build build --target
# bench_psd` (makes the files in build/bench/psd on the first run, then times every reader in
# interleaved rounds and prints medians and ratios).
add_executable(psd_bench ${CMAKE_CURRENT_LIST_DIR}/psd_bench.cpp)
target_link_libraries(psd_bench PRIVATE vistrel_psd vistrel_picture)
add_custom_target(bench_psd
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/psd_bench.py
        --bench $<TARGET_FILE:psd_bench> --work ${CMAKE_BINARY_DIR}/bench/psd
        --npm ${CMAKE_SOURCE_DIR}/tests/psd
    DEPENDS psd_bench USES_TERMINAL)
