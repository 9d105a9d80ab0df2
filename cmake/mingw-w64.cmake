# Cross-building the Windows programs (osdctl.exe) with Debian's MinGW-w64 (the POSIX-threads
# variant, for std::thread):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DOSD_BUILD_GUI=OFF -DOSD_CTL_NO_QT=ON
# The programs are linked statically: osdctl.exe runs without MinGW's DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(OSD_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${OSD_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSD_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${OSD_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine where a build step runs them.
find_program(OSD_WINE wine)
if(OSD_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OSD_WINE})
endif()
