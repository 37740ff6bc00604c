# GoogleTest from Debian's sources (no network at build time), built with the project's compiler.
set(WARDKEEP_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
# The static C runtime, as the program uses (MSVC; no effect elsewhere).
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${WARDKEEP_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
