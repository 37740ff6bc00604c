# GoogleTest for the tests: the sources in WARDKEEP_GOOGLETEST_DIR (Debian's by default; built
# with the project's compiler, no network at build time), else an installed GoogleTest
# (find_package, e.g. from vcpkg on Windows). Sets WARDKEEP_GTEST and WARDKEEP_GTEST_MAIN to the
# libraries to link, or leaves them empty, with a notice, when there is neither.
include_guard(GLOBAL)
set(WARDKEEP_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(WARDKEEP_GTEST "")
set(WARDKEEP_GTEST_MAIN "")
if(EXISTS ${WARDKEEP_GOOGLETEST_DIR}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # The static C runtime, as the program uses (MSVC; no effect elsewhere).
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(${WARDKEEP_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(WARDKEEP_GTEST gtest)
  set(WARDKEEP_GTEST_MAIN gtest_main)
else()
  find_package(GTest CONFIG QUIET)
  if(GTest_FOUND)
    set(WARDKEEP_GTEST GTest::gtest)
    set(WARDKEEP_GTEST_MAIN GTest::gtest_main)
  endif()
endif()
if(WARDKEEP_GTEST)
  include(GoogleTest)
else()
  message(NOTICE "GoogleTest was found neither in WARDKEEP_GOOGLETEST_DIR "
                 "(${WARDKEEP_GOOGLETEST_DIR}) nor as an installed package: building the program "
                 "without its tests.")
endif()
