# Everything `cmake --install` puts in place, in one file: the programs, their manual pages, the
# desktop entry, the icon, the AppStream metadata, the sample start page skin and the user guide.
# The Debian package (cmake/Package.cmake, scripts/package) holds exactly this.
include(GNUInstallDirs)

install(TARGETS vistrel vistrel-decode vistrel-psd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The viewer's Qt shell, which the program loads from lib/vistrel/ beside its bin/
# (src/qt/ShellModule.h).
install(TARGETS vistrel-shell LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/vistrel)
# The codec module of WebP, HEIF, AVIF and JPEG XL, loaded on first use (src/picture/CodecModule.h)
# from lib/vistrel/ beside the programs' bin/.
if(TARGET vistrel-codecs)
    install(TARGETS vistrel-codecs LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/vistrel)
endif()

# Manual pages, compressed as Debian keeps them. The viewer's takes its table of keys and buttons
# from the README (res/make_man_page.py).
set(man_pages ${CMAKE_BINARY_DIR}/man/vistrel.1 ${PROJECT_SOURCE_DIR}/res/man/vistrel-decode.1
    ${PROJECT_SOURCE_DIR}/res/man/vistrel-psd.1)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/vistrel.1
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/res/make_man_page.py
        ${PROJECT_SOURCE_DIR}/res/man/vistrel.1.in ${PROJECT_SOURCE_DIR}/README.md
        ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/man/vistrel.1
    DEPENDS ${PROJECT_SOURCE_DIR}/res/man/vistrel.1.in ${PROJECT_SOURCE_DIR}/README.md
        ${PROJECT_SOURCE_DIR}/res/make_man_page.py
    VERBATIM)
set(compressed_man_pages)
foreach(page ${man_pages})
    get_filename_component(name ${page} NAME)
    set(compressed ${CMAKE_BINARY_DIR}/man/${name}.gz)
    # -n: no name or time stamp inside, so that a build makes the same file again.
    add_custom_command(OUTPUT ${compressed}
        COMMAND gzip -9 -n -c ${page} > ${compressed}
        DEPENDS ${page})
    list(APPEND compressed_man_pages ${compressed})
endforeach()
add_custom_target(vistrel_man_pages ALL DEPENDS ${compressed_man_pages})
install(FILES ${compressed_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# What the desktop and software centres read.
install(FILES ${PROJECT_SOURCE_DIR}/res/vistrel.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/vistrel.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${PROJECT_SOURCE_DIR}/res/com.quorbane.Vistrel.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The program's own data folder (share/vistrel, found from the program's folder as
# ../share/vistrel): the sample skin drawn by res/skin/make_skin.py, and the user guide that the
# start page's help button opens, made from the README in src/qt.
install(FILES ${PROJECT_SOURCE_DIR}/res/skin/Bkgnd.png ${PROJECT_SOURCE_DIR}/res/skin/BtnHelp.png
    ${PROJECT_SOURCE_DIR}/res/skin/BtnClose.png ${PROJECT_SOURCE_DIR}/res/skin/BtnLink.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/vistrel/UI)
install(FILES ${CMAKE_BINARY_DIR}/src/qt/vistrel-guide.html
    DESTINATION ${CMAKE_INSTALL_DATADIR}/vistrel)
