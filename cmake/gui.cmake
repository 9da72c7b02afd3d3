# The desktop dialog is optional: without Qt 6 the converter, the dialog's
# window-free rules and their tests still build.
set(T2TK_HAVE_GUI OFF)
if(T2TK_BUILD_GUI)
  find_package(Qt6 6.2 QUIET COMPONENTS Widgets Test)
  if(Qt6_FOUND)
    set(T2TK_HAVE_GUI ON)
  else()
    message(STATUS "Qt 6 not found: the desktop dialog t2tk is not built")
  endif()
endif()
add_subdirectory(app)
