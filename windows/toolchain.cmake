# Windows, 64-bit, with Debian's MinGW-w64 cross-compiler in its posix thread model (GCC 12's win32
# model has no std::mutex or std::thread). LUMAROK_WINDOWS_DEPS is the prefix that scripts/windows.sh
# builds the dependencies into; libraries, headers, CMake packages and pkg-config files come from it
# and from MinGW's own folder, never from this Linux machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMAROK_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${LUMAROK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} ${LUMAROK_WINDOWS_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# Static libraries (ODE, libpng, zlib) name what they need only in their private fields.
set(PKG_CONFIG_ARGN --static)

# The GCC runtime and winpthread go into the binaries, so only SDL.dll and glew32.dll ship beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")

# Programs the build and ctest run (the image tool, the unit tests) run under Wine, in the prefix
# LUMAROK_WINE_PREFIX, with Wine's offers to install Mono and Gecko held off, and the dependencies'
# DLLs on the PATH (Wine's drive Z: is the root folder).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMAROK_WINE_PREFIX)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${LUMAROK_WINE_PREFIX} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= WINEPATH=Z:${LUMAROK_WINDOWS_DEPS}/bin wine)
