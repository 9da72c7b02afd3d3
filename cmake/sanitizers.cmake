# T2TK_SANITIZE=ON builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report aborts the process so that ctest sees it.
option(T2TK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(T2TK_SANITIZE)
  set(_t2tk_sanitize -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${_t2tk_sanitize})
  add_link_options(${_t2tk_sanitize})
endif()
