# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 toolchain, and running what it builds
# (tests, try_run) under Wine. scripts/build-windows passes it, with VISTREL_WINDOWS_DEPS set to the
# folder its cross-built libraries are installed in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix threads variant: std::thread, std::mutex and std::condition_variable need it (the win32
# variant of GCC 12 has none of them).
set(VISTREL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VISTREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VISTREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VISTREL_MINGW}-windres)
set(CMAKE_AR ${VISTREL_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VISTREL_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers, libraries and CMake packages come only from the MinGW sysroot (zlib) and from the
# cross-built libraries, never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VISTREL_MINGW})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VISTREL_WINDOWS_DEPS)
if(VISTREL_WINDOWS_DEPS)
    list(PREPEND CMAKE_FIND_ROOT_PATH ${VISTREL_WINDOWS_DEPS})
    set(ENV{PKG_CONFIG_LIBDIR}
        "${VISTREL_WINDOWS_DEPS}/lib/pkgconfig:/usr/${VISTREL_MINGW}/lib/pkgconfig")
else()
    set(ENV{PKG_CONFIG_LIBDIR} "/usr/${VISTREL_MINGW}/lib/pkgconfig")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib links in like every other library (the sysroot also has zlib1.dll's import library).
set(ZLIB_USE_STATIC_LIBS ON)

# libgcc, libstdc++ and winpthread are linked in, so a program or DLL runs without MinGW's DLLs
# beside it; it imports only Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)

# Tests run under Wine, in a prefix of the build folder's own (made on first use).
set(VISTREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix the tests run in")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${VISTREL_WINEPREFIX})
