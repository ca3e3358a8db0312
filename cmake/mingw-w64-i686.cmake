# Cross build for 32-bit Windows with MinGW-w64, the build users need: the
# archiver DLLs they install (Unlha32.dll, 7-zip32.dll) are 32-bit.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
