# The parts of the Windows build, included by the top-level CMakeLists.txt after the core (with its
# Windows twins) when the target is Windows: the Win32 shell and its program, the tools, the user
# guide, the tests under Wine and the zip.

# Every program and turbojpeg.dll in one folder, as in the zip: the viewer loads the library from
# beside itself, and only from there.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
find_file(VISTREL_TURBOJPEG_DLL turbojpeg.dll PATH_SUFFIXES bin REQUIRED)
configure_file(${VISTREL_TURBOJPEG_DLL} ${CMAKE_BINARY_DIR}/bin/turbojpeg.dll COPYONLY)

add_subdirectory(src/win)
add_subdirectory(tools)

# The user guide that the start page's help button opens, beside the program.
set(VISTREL_USER_GUIDE ${CMAKE_BINARY_DIR}/bin/vistrel-guide.html)
add_custom_command(OUTPUT ${VISTREL_USER_GUIDE}
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/res/make_user_guide.py
        ${PROJECT_SOURCE_DIR}/README.md ${VISTREL_USER_GUIDE}
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/res/make_user_guide.py
    VERBATIM)
add_custom_target(vistrel_user_guide ALL DEPENDS ${VISTREL_USER_GUIDE})

# out/windows/vistrel-<version>-win64.zip: the programs, turbojpeg.dll, the user guide, the
# sample start page skin in UI/ beside the program, and the README for Windows.
set(VISTREL_ZIP_FOLDER ${PROJECT_SOURCE_DIR}/out/windows CACHE PATH "Where the zip is written")
set(zip_name vistrel-${PROJECT_VERSION}-win64)
set(zip_stage ${CMAKE_BINARY_DIR}/zip/${zip_name})
set(VISTREL_ZIP ${VISTREL_ZIP_FOLDER}/${zip_name}.zip)
add_custom_command(OUTPUT ${VISTREL_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}/UI ${VISTREL_ZIP_FOLDER}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vistrel> $<TARGET_FILE:vistrel-decode>
        $<TARGET_FILE:vistrel-psd> ${CMAKE_BINARY_DIR}/bin/turbojpeg.dll ${VISTREL_USER_GUIDE}
        ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/res/README-windows.txt
        ${zip_stage}/README.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/res/skin/Bkgnd.png
        ${PROJECT_SOURCE_DIR}/res/skin/BtnHelp.png ${PROJECT_SOURCE_DIR}/res/skin/BtnClose.png
        ${PROJECT_SOURCE_DIR}/res/skin/BtnLink.png ${zip_stage}/UI
    # Without debug information: the programs in bin/ keep theirs.
    COMMAND ${CMAKE_STRIP} --strip-debug ${zip_stage}/vistrel.exe ${zip_stage}/vistrel-decode.exe
        ${zip_stage}/vistrel-psd.exe
    COMMAND ${CMAKE_COMMAND} -E rm -f ${VISTREL_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
        ${CMAKE_COMMAND} -E tar cf ${VISTREL_ZIP} --format=zip ${zip_name}
    DEPENDS vistrel vistrel-decode vistrel-psd ${VISTREL_USER_GUIDE}
        ${PROJECT_SOURCE_DIR}/res/README-windows.txt ${PROJECT_SOURCE_DIR}/res/skin/Bkgnd.png
        ${PROJECT_SOURCE_DIR}/res/skin/BtnHelp.png ${PROJECT_SOURCE_DIR}/res/skin/BtnClose.png
        ${PROJECT_SOURCE_DIR}/res/skin/BtnLink.png
    VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${VISTREL_ZIP})

if(VISTREL_TESTS)
    enable_testing()
    find_package(GTest REQUIRED CONFIG)
    include(GoogleTest)
    # Listed when ctest runs rather than at build time, so that building never starts Wine.
    set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
    add_subdirectory(tests)
endif()
