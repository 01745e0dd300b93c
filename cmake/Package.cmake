# The Debian package, made by CPack from what cmake/Install.cmake installs (scripts/package).
# Its dependencies are Debian's own packages: dpkg-shlibdeps reads them from the libraries the
# programs link, at the versions this machine has.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VENDOR Quorbane)
set(CPACK_PACKAGE_CONTACT "Quorbane <vistrel@quorbane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, very fast picture viewer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vistrel shows one picture at a time in a borderless window exactly as large as the\n\
picture, or reduced to fit the screen, and steps through the pictures of its folder while\n\
the neighbours are decoded ahead of time. It reads JPEG, PNG, BMP, GIF, TGA, ICO, CUR, WMF\n\
and layered PSD files.\n\
.\n\
The package also holds vistrel-decode, which loads a picture as the viewer does and writes\n\
it as PNG, and vistrel-psd, which prints the document model of a PSD file as JSON.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vistrel.quorbane.com/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window reads Qt's platform window and screen through its private headers
# (src/qt/DevicePixels.cpp), which hold for one Qt release only.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-base-abi (= ${Qt6_VERSION})")
# JPEG files go through libturbojpeg when it is there (loaded at run time, so dpkg-shlibdeps
# cannot see it); without it, Qt's own reader takes them, slower.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libturbojpeg0)
include(CPack)
