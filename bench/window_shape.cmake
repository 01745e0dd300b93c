# Cutting a translucent window's shape from its frame's alpha: `cmake --build build --target
# bench_window_shape` times it off screen; run build/bench/window-shape-bench under an X server
# with QT_QPA_PLATFORM=xcb to time the server taking the shape too.
if(TARGET vistrel_platform_qt)
    add_executable(window-shape-bench ${CMAKE_CURRENT_LIST_DIR}/window_shape_bench.cpp)
    target_link_libraries(window-shape-bench PRIVATE vistrel_platform vistrel_viewer Qt6::Gui
        Qt6::GuiPrivate xcb)
    add_custom_target(bench_window_shape COMMAND window-shape-bench DEPENDS window-shape-bench
        USES_TERMINAL)
endif()
