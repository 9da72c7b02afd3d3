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

The package holds the desktop converter t2tk and the command-line converter
t2tk-convert.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
