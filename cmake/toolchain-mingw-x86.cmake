# Cross-compiles for Windows x86 (32-bit) with Debian's MinGW-w64 (posix
# thread model). Programs link libgcc, libstdc++ and winpthread statically,
# so an .exe needs no MinGW DLLs beside it. Libraries are looked up only in
# the MinGW sysroot, where scripts/setup puts libpng next to the zlib of
# libz-mingw-w64-dev. No emulator is set: 32-bit Windows programs cannot run
# on the build machines, so this build is compiled and linked, not run.
# Keep in step with toolchain-mingw-x64.cmake, which differs only in the
# triple and the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ORV_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${ORV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORV_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${ORV_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${ORV_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${ORV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The Windows platform module puts .dll.a first in the library suffixes and
# overrides any order set here, so ask FindZLIB for libz.a by name: the
# import library would make every program need zlib1.dll. (libpng exists
# only as a static archive in the sysroot.)
set(ZLIB_USE_STATIC_LIBS ON)

# DLLs we build get the same treatment: no libgcc/libstdc++/winpthread DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
