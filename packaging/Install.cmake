# SPDX-License-Identifier: MIT
# cmake --install: the three programs, the menu entry with its icon and the type of .krv
# files it opens, the man pages and the examples; cpack -G DEB makes the Debian package of
# the same.
include(GNUInstallDirs)

install(TARGETS korvane korvanectl korvane-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# install/strip and cpack strip the symbols only; Debian's packages also drop the
# compiler's notes, as dh_strip does.
install(CODE "set(korvane_strip \"${CMAKE_STRIP}\")
  set(korvane_bindir \"${CMAKE_INSTALL_BINDIR}\")")
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program korvane korvanectl korvane-sim)
      execute_process(COMMAND "${korvane_strip}" --strip-unneeded --remove-section=.comment
        --remove-section=.note "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${korvane_bindir}/${program}"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()
]])

set(KORVANE_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
# The menu entry starts korvane in the user's own folder (--user-folder) and names it by
# the prefix given at install time, so --prefix and cpack may differ from the one
# configured.
install(CODE "set(korvane_desktop_in \"${KORVANE_PACKAGING}/korvane.desktop.in\")
  set(korvane_desktop \"${CMAKE_BINARY_DIR}/packaging/korvane.desktop\")
  set(korvane_bindir \"${CMAKE_INSTALL_BINDIR}\")")
install(CODE [[
  set(KORVANE_EXECUTABLE "${CMAKE_INSTALL_PREFIX}/${korvane_bindir}/korvane")
  configure_file("${korvane_desktop_in}" "${korvane_desktop}" @ONLY)
]])
install(FILES ${CMAKE_BINARY_DIR}/packaging/korvane.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KORVANE_PACKAGING}/korvane-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME korvane.xml)
install(FILES ${KORVANE_PACKAGING}/korvane.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The example files where the programs' help names them, their description with the
# rest of the documentation (Debian keeps documentation under share/doc only).
set(korvane_docdir ${CMAKE_INSTALL_DATADIR}/doc/korvane)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/examples
  PATTERN README.md EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/examples/README.md DESTINATION ${korvane_docdir}
  RENAME README.examples.md)
# The licence in Debian's machine-readable form, and the package's changelog, compressed
# reproducibly as Debian's tools do.
install(FILES ${KORVANE_PACKAGING}/debian/copyright DESTINATION ${korvane_docdir})
set(KORVANE_DEBIAN_VERSION ${PROJECT_VERSION}-1) # as CPACK_DEBIAN_PACKAGE_RELEASE below
configure_file(${KORVANE_PACKAGING}/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
  @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
  COMMENT "changelog.Debian.gz"
  VERBATIM)
add_custom_target(korvane_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${korvane_docdir})
install(FILES ${KORVANE_PACKAGING}/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME korvane)
# Software centres' description of the window program (AppStream), with its screenshot.
set(KORVANE_RELEASE_DATE 2026-12-09) # of the version in project()
set(korvane_metainfo ${CMAKE_BINARY_DIR}/packaging/example.c_seed_e19680c9.korvane.metainfo.xml)
configure_file(${KORVANE_PACKAGING}/korvane.metainfo.xml.in ${korvane_metainfo} @ONLY)
install(FILES ${korvane_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KORVANE_PACKAGING}/screenshots/window-after-read.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/screenshots)
# korvanectl's bash completion, loaded by bash-completion on first use.
install(FILES ${KORVANE_PACKAGING}/bash-completion/korvanectl
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The JSON Schema of korvanectl --json, for scripts that check what they get.
install(FILES ${CMAKE_SOURCE_DIR}/cli/korvanectl.schema.json DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane)

# Man pages from each program's --help and --version, so they cannot drift from them.
find_program(KORVANE_HELP2MAN help2man REQUIRED)
# korvanectl's page is written by hand (packaging/man/korvanectl.1): its commands, exit
# statuses, JSON and examples need more than --help says.
set(korvane_man_names
  "korvane\;configuration window for the Korvane paging trunk distributor"
  "korvane-sim\;Korvane device simulator on a pseudo-terminal")
set(korvane_man_pages)
foreach(entry IN LISTS korvane_man_names)
  list(GET entry 0 program)
  list(GET entry 1 summary)
  set(page ${CMAKE_BINARY_DIR}/packaging/man/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
      ${KORVANE_HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${summary}
      --include=${KORVANE_PACKAGING}/man/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
    COMMAND gzip -9nf ${page}
    DEPENDS ${program} ${KORVANE_PACKAGING}/man/${program}.h2m
    COMMENT "Man page ${program}(1)"
    VERBATIM)
  list(APPEND korvane_man_pages ${page}.gz)
endforeach()
set(korvanectl_page ${CMAKE_BINARY_DIR}/packaging/man/korvanectl.1)
add_custom_command(OUTPUT ${korvanectl_page}.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
  COMMAND ${CMAKE_COMMAND} -E copy ${KORVANE_PACKAGING}/man/korvanectl.1 ${korvanectl_page}
  COMMAND gzip -9nf ${korvanectl_page}
  DEPENDS ${KORVANE_PACKAGING}/man/korvanectl.1
  COMMENT "Man page korvanectl(1)"
  VERBATIM)
list(APPEND korvane_man_pages ${korvanectl_page}.gz)
add_custom_target(korvane_man ALL DEPENDS ${korvane_man_pages})
install(FILES ${korvane_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR "Korvane maintainers")
set(CPACK_PACKAGE_CONTACT
  "Korvane maintainers <maintainers@users.noreply.c-seed-e19680c9.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "configuration tool for the Korvane paging trunk distributor")
# Lines of at most 80 columns once dpkg has indented them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Identifies a Korvane device on an RS-232 line, reads all its parameters\n"
  "into a window, lets the operator edit them and writes them back, saves and\n"
  "loads configuration files and shows every frame on the wire in a monitor.\n"
  "Includes korvanectl, the same device procedures from the command line for\n"
  "one device or a rack, and korvane-sim, a device simulator on a\n"
  "pseudo-terminal. The user interface is Chinese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision: the package is not native, its changelog is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Qt's libraries come from the binaries; the window also needs the X11/Wayland platform
# plugins (only recommended by Qt) and a font with the Chinese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-zenhei")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
include(CPack)
