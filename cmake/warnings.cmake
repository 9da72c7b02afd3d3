# Warnings every target of ours is built with.
add_library(t2tk_warnings INTERFACE)
if(MSVC)
  target_compile_options(t2tk_warnings INTERFACE /W4)
else()
  target_compile_options(t2tk_warnings INTERFACE -Wall -Wextra -Wpedantic)
endif()
