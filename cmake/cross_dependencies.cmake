# When cross-compiling, the header-only CLI11 comes from the build machine's
# headers (through a folder of its own, so that no other host header is seen),
# and GoogleTest is built for the target from Debian's sources.
if(NOT CMAKE_CROSSCOMPILING)
  return()
endif()

if(NOT TARGET CLI11::CLI11)
  set(_cli11 ${PROJECT_BINARY_DIR}/cross/cli11)
  file(MAKE_DIRECTORY ${_cli11})
  file(CREATE_LINK /usr/include/CLI ${_cli11}/CLI SYMBOLIC)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_cli11})
  set(CLI11_FOUND TRUE)
endif()

if(NOT T2TK_BUILD_TESTS STREQUAL "OFF" AND NOT TARGET GTest::gtest AND EXISTS /usr/src/googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/cross/googletest EXCLUDE_FROM_ALL)  # makes GTest::gtest
endif()
