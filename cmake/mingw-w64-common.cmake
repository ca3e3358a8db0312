# Shared part of the MinGW-w64 toolchain files. The including file sets
# MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: their C++ runtime has std::thread and std::mutex,
# which the win32 thread variant of GCC 12 lacks.
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

# The libraries the archiver DLLs link, built by tools/install-deps.sh windows
# (tools/windows/mingw-deps.sh), all static: libarchive, liblzma, libdeflate
# in a prefix of this target's own, and zlib from Debian's libz-mingw-w64-dev.
# find_package(LibArchive), find_package(LibLZMA), find_package(ZLIB) and
# pkg-config (libdeflate) find them there. The static libarchive needs
# LibLZMA::LibLZMA and ZLIB::ZLIB linked after it.
if(DEFINED ENV{SLOTBACKUP_MINGW_DEPS})
  set(SLOTBACKUP_MINGW_PREFIX $ENV{SLOTBACKUP_MINGW_DEPS}/${MINGW_TRIPLE})
else()
  set(SLOTBACKUP_MINGW_PREFIX /usr/local/lib/slotbackup-mingw/${MINGW_TRIPLE})
endif()
set(CMAKE_FIND_ROOT_PATH ${SLOTBACKUP_MINGW_PREFIX} /usr/${MINGW_TRIPLE})
set(ZLIB_USE_STATIC_LIBS ON)
set(ENV{PKG_CONFIG_LIBDIR} ${SLOTBACKUP_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
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
