# Cross-compiles the updater into a 64-bit Windows program with Debian's
# mingw-w64 toolchain (g++-mingw-w64-x86-64, libz-mingw-w64-dev).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMI_MINGW_TRIPLET x86_64-w64-mingw32)
# The win32 thread model: its runtime needs no libwinpthread-1.dll beside the program.
set(CMAKE_C_COMPILER ${VELMI_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VELMI_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${VELMI_MINGW_TRIPLET}-windres)

# Headers and libraries come from the cross sysroot only; tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELMI_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib goes into the executable; the compiler's own runtimes too, so that the
# installation needs no DLL but sqlite3.dll.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc")
