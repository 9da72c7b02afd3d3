# Windows: an installer of our own NSIS script (a 64-bit one, which CPack's
# template cannot be told to make), built by the target "installer" as
# t2tk-<version>-win64.exe, and the uninstaller it installs, a program of its
# own (res/windows/uninstall.nsi).
if(WIN32)
  find_program(T2TK_MAKENSIS makensis)
  if(T2TK_MAKENSIS AND T2TK_HAVE_GUI AND T2TK_WEB_PAGE)
    set(_windows ${PROJECT_SOURCE_DIR}/res/windows)
    set(_icon ${PROJECT_SOURCE_DIR}/res/icons/t2tk.ico)
    set(T2TK_UNINSTALLER ${PROJECT_BINARY_DIR}/uninstall.exe)
    add_custom_command(OUTPUT ${T2TK_UNINSTALLER}
      COMMAND ${T2TK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DICON=${_icon} -DOUTFILE=${T2TK_UNINSTALLER}
              ${_windows}/uninstall.nsi
      DEPENDS ${_windows}/uninstall.nsi ${_windows}/t2tk.nsh ${_icon}
      VERBATIM)
    set(T2TK_INSTALLER ${PROJECT_BINARY_DIR}/t2tk-${PROJECT_VERSION}-win64.exe)
    add_custom_command(OUTPUT ${T2TK_INSTALLER}
      COMMAND ${T2TK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DPROGRAMS=${PROJECT_BINARY_DIR}
              -DUNINSTALLER=${T2TK_UNINSTALLER} -DPAGE=${T2TK_WEB_PAGE} -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
              -DICON=${_icon} -DOUTFILE=${T2TK_INSTALLER} ${_windows}/t2tk.nsi
      DEPENDS t2tk t2tk-convert ${T2TK_UNINSTALLER} ${_windows}/t2tk.nsi ${_windows}/t2tk.nsh
              ${PROJECT_SOURCE_DIR}/LICENSE ${T2TK_WEB_PAGE}
      VERBATIM)
    add_custom_target(installer DEPENDS ${T2TK_INSTALLER})
  endif()
  return()
endif()

# CPack: a Debian package, t2tk_<version>_<arch>.deb, its dependencies worked
# out from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME t2tk)
set(CPACK_PACKAGE_VENDOR "t2tk maintainers")
set(CPACK_PACKAGE_CONTACT "t2tk maintainers <maintainers@users.noreply.c-seed-2b9ab64f.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert Tolvin drum presets into Thumpkrate SysEx MIDI files")
# CPack puts the summary on the first line and indents these lines itself;
# the empty line separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "t2tk turns drum kits saved by the Tolvin software drum synthesizer (FXP
preset files) into the System Exclusive messages of the Thumpkrate rack drum
module, all in one Standard MIDI File that a sequencer plays into the module
to load and store each kit in one of its 50 program memories.

The package holds the desktop converter t2tk, the command-line converter
t2tk-convert, and the same converter as a web page in one file, which the
menu offers as t2tk in the browser.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(T2TK_WEB_PAGE)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)  # the page's menu entry opens it in the browser
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
