# The desktop dialog: on the Win32 API on Windows, on Qt 6 elsewhere. It is
# optional: without it the converter, the dialog's window-free rules and their
# tests still build. T2TK_HAVE_GUI says whether a dialog is built, and
# T2TK_HAVE_QT whether it is the Qt one.
set(T2TK_HAVE_GUI OFF)
set(T2TK_HAVE_QT OFF)
if(T2TK_BUILD_GUI AND WIN32)
  enable_language(RC)
  set(T2TK_HAVE_GUI ON)
elseif(T2TK_BUILD_GUI)
  find_package(Qt6 6.2 QUIET COMPONENTS Widgets Test)
  if(Qt6_FOUND)
    set(T2TK_HAVE_GUI ON)
    set(T2TK_HAVE_QT ON)
  else()
    message(STATUS "Qt 6 not found: the desktop dialog t2tk is not built")
  endif()
endif()
add_subdirectory(app)
