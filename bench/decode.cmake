# Decoding one file per format, in-process, for bench/decode.sh.
if(TARGET vistrel_platform_qt)
    add_executable(vistrel-bench-decode ${CMAKE_CURRENT_LIST_DIR}/decode_once.cpp)
    target_link_libraries(vistrel-bench-decode PRIVATE vistrel_picture vistrel_platform_qt)
endif()
