# The tests need GoogleTest. T2TK_BUILD_TESTS=AUTO (the default) builds them
# when it is found, ON insists on them and stops without it, OFF leaves them
# out. T2TK_HAVE_TESTS says whether they are built.
set(T2TK_BUILD_TESTS AUTO CACHE STRING "Build the tests: AUTO (when GoogleTest is found), ON or OFF")
set_property(CACHE T2TK_BUILD_TESTS PROPERTY STRINGS AUTO ON OFF)

set(T2TK_HAVE_TESTS OFF)
if(T2TK_BUILD_TESTS STREQUAL "AUTO" OR T2TK_BUILD_TESTS)
  if(NOT TARGET GTest::gtest)
    if(T2TK_BUILD_TESTS STREQUAL "AUTO")
      find_package(GTest QUIET)
    else()
      find_package(GTest REQUIRED)
    endif()
  endif()
  if(TARGET GTest::gtest)
    set(T2TK_HAVE_TESTS ON)
  else()
    message(STATUS "GoogleTest not found: the tests are not built")
  endif()
endif()
