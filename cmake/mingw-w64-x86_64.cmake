# Cross-compiles Wardkeep for 64-bit Windows with Debian's MinGW-w64 toolchain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WARDKEEP_TRIPLET x86_64-w64-mingw32)
# The POSIX thread model: GoogleTest needs std::mutex, which the win32 model lacks in GCC 12.
set(CMAKE_C_COMPILER ${WARDKEEP_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WARDKEEP_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${WARDKEEP_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${WARDKEEP_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
