# The first-frame and step-latency probe for bench/first-frame.sh (needs Xlib and XTest).
find_package(X11)
if(X11_FOUND AND X11_Xtst_FOUND)
    add_executable(vistrel-bench-probe ${CMAKE_CURRENT_LIST_DIR}/first_frame_probe.cpp)
    target_link_libraries(vistrel-bench-probe PRIVATE X11::X11 X11::Xtst)
endif()
