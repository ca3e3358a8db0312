# Shared part of the MinGW-w64 toolchain files. The including file sets
# MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: their C++ runtime has std::thread and std::mutex,
# which the win32 thread variant of GCC 12 lacks.
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static runtime, so slotbackup.exe and the archiver DLLs built here need
# no libgcc, libstdc++ or winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Archiver DLLs export their stdcall entry points under plain names
# ("Unlha", not "Unlha@16"), as the DLLs users install do.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--kill-at")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--kill-at")
