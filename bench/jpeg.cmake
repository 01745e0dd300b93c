# The picture pipeline: JPEG decode, EXIF scan, the three resampling operations and the screen
# copy. bench/compare.sh runs it side by side with Pillow and libjpeg-turbo's own tools.
add_executable(vistrel-bench-picture ${CMAKE_CURRENT_LIST_DIR}/picture_bench.cpp)
target_link_libraries(vistrel-bench-picture PRIVATE vistrel_picture ${CMAKE_DL_LIBS})
