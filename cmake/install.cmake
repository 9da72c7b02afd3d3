# What `cmake --install` puts where: the programs, and on Linux desktops the
# menu entry, icons, MIME type, AppStream data, man pages and package documents.
include(GNUInstallDirs)

install(TARGETS t2tk-convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The web page in one file (scripts/web.sh builds it), for computers without
# these programs: opened from the disk, it converts and sends as the programs do.
set(T2TK_WEB_PAGE "" CACHE FILEPATH "The web page in one file (build/web/t2tk.html), shipped when given")
if(T2TK_WEB_PAGE AND NOT WIN32)
  install(FILES ${T2TK_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/t2tk)
  # Its menu entry, "t2tk in the browser", as the Windows Start menu has.
  configure_file(${PROJECT_SOURCE_DIR}/res/org.t2tk.t2tk-browser.desktop.in
                 ${T2TK_GENERATED_DIR}/org.t2tk.t2tk-browser.desktop @ONLY)
  install(FILES ${T2TK_GENERATED_DIR}/org.t2tk.t2tk-browser.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
if(T2TK_HAVE_GUI)
  install(TARGETS t2tk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(NOT UNIX OR APPLE)
  return()
endif()

install(TARGETS t2tk_midi LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/t2tk)

set(_res ${PROJECT_SOURCE_DIR}/res)

# Man pages go compressed, as Debian wants them.
set(_man_pages t2tk-convert.1)
if(T2TK_HAVE_GUI)
  list(APPEND _man_pages t2tk.1)
endif()
set(_compressed "")
foreach(page IN LISTS _man_pages ITEMS changelog)
  if(page STREQUAL "changelog")
    set(source ${_res}/debian/changelog)
    set(target ${PROJECT_BINARY_DIR}/doc/changelog.gz)  # a native package's name for it
  else()
    set(source ${T2TK_GENERATED_DIR}/${page})
    set(target ${PROJECT_BINARY_DIR}/man/${page}.gz)
  endif()
  get_filename_component(target_dir ${target} DIRECTORY)
  add_custom_command(OUTPUT ${target}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${target_dir}
                     COMMAND gzip -9n -c ${source} > ${target}
                     DEPENDS ${source} VERBATIM)
  list(APPEND _compressed ${target})
endforeach()
add_custom_target(t2tk_compressed_docs ALL DEPENDS ${_compressed})

foreach(page IN LISTS _man_pages)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${_res}/debian/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(T2TK_HAVE_GUI)
  install(FILES ${_res}/org.t2tk.t2tk.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_res}/appdata/org.t2tk.t2tk.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${_res}/mimetypes/t2tk.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${_res}/icons/t2tk.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48 256)
    install(FILES ${_res}/icons/t2tk-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME t2tk.png)
  endforeach()
endif()
