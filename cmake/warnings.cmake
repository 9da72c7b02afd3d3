# Warnings every target of ours is built with.
add_library(t2tk_warnings INTERFACE)
if(MSVC)
  target_compile_options(t2tk_warnings INTERFACE /W4)
else()
  target_compile_options(t2tk_warnings INTERFACE -Wall -Wextra -Wpedantic
    # GCC 12 reports overlapping copies inside std::string concatenation that
    # cannot happen (its bug 105329).
    $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
endif()
