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

# A static library of ours: headers included as "folder/file.h" from the
# project's top, built with the warnings above.
function(t2tk_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE t2tk_warnings)
endfunction()
