# project(VERSION) is the one place the version is written: the files that
# show it (Windows resources and manifest, man pages) are made from it here.
set(T2TK_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

foreach(page t2tk-convert.1 t2tk.1)
  configure_file(${PROJECT_SOURCE_DIR}/res/man1/${page}.in ${T2TK_GENERATED_DIR}/${page} @ONLY)
endforeach()

if(WIN32)
  configure_file(${PROJECT_SOURCE_DIR}/res/windows/t2tk_version.h.in ${T2TK_GENERATED_DIR}/t2tk_version.h @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/res/windows/t2tk.manifest.in ${T2TK_GENERATED_DIR}/t2tk.manifest @ONLY)
endif()

# Adds one of our Windows resource scripts to target; it finds the version
# header and the manifest made above.
function(t2tk_add_resources target script)
  target_sources(${target} PRIVATE ${script})
  target_include_directories(${target} PRIVATE ${T2TK_GENERATED_DIR})
  set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS
    "${T2TK_GENERATED_DIR}/t2tk_version.h;${T2TK_GENERATED_DIR}/t2tk.manifest;${PROJECT_SOURCE_DIR}/res/windows/version_info.rc")
endfunction()
