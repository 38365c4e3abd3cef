# SPDX-License-Identifier: MIT
# cmake --install on Windows: the two programs at the top of the folder, the examples
# beside them and README.txt. scripts/build-windows.sh adds the DLLs, zips the folder and
# makes the installer from it.
install(TARGETS korvane korvanectl RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in
  ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)

# The licence of everything the folder ships, in licenses/: ours, Qt's with where its
# source comes from, and the MinGW-w64 runtime's, the texts as Debian's packages of the
# build machine record them.
function(korvane_debian_version package format variable)
  execute_process(COMMAND dpkg-query -W -f=${format} ${package}
    OUTPUT_VARIABLE version RESULT_VARIABLE failed)
  if(failed OR version STREQUAL "")
    message(FATAL_ERROR "Debian package ${package} is not installed")
  endif()
  set(${variable} ${version} PARENT_SCOPE)
endfunction()
korvane_debian_version(qt6-base-dev "\${source:Version}" KORVANE_QT_DEBIAN_VERSION)
korvane_debian_version(mingw-w64-x86-64-dev "\${Version}" KORVANE_MINGW_VERSION)
set(KORVANE_QT_VERSION ${Qt6_VERSION})
set(KORVANE_GCC_VERSION ${CMAKE_CXX_COMPILER_VERSION})
set(korvane_licenses ${CMAKE_BINARY_DIR}/packaging/licenses)
foreach(note Qt README)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/licenses/${note}.txt.in
    ${korvane_licenses}/${note}.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${korvane_licenses}/${note}.txt DESTINATION licenses)
endforeach()
set(korvane_license_texts
  "${CMAKE_SOURCE_DIR}/LICENSE\;Korvane.txt"
  "/usr/share/common-licenses/LGPL-3\;LGPL-3.txt"
  "/usr/share/common-licenses/GPL-3\;GPL-3.txt"
  "/usr/share/doc/libqt6core6/copyright\;Qt-copyright.txt"
  "/usr/share/doc/gcc-mingw-w64-base/copyright\;GCC-runtime.txt"
  "/usr/share/doc/mingw-w64-x86-64-dev/copyright\;MinGW-w64.txt")
foreach(entry IN LISTS korvane_license_texts)
  list(GET entry 0 text)
  list(GET entry 1 name)
  if(NOT EXISTS ${text})
    message(FATAL_ERROR "No licence text ${text}")
  endif()
  install(FILES ${text} DESTINATION licenses RENAME ${name})
endforeach()

# The programs' icon and version resource, as Explorer and the file properties show
# them: korvane.ico made from packaging/korvane.svg in 16 to 256 pixels (rsvg-convert,
# icotool; 256 kept as PNG, as Windows expects), and one resource script per program
# with the version of project().
enable_language(RC)
find_program(KORVANE_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(KORVANE_ICOTOOL icotool REQUIRED)
set(korvane_icon ${CMAKE_BINARY_DIR}/packaging/korvane.ico)
set(korvane_icon_png ${CMAKE_BINARY_DIR}/packaging/icon)
set(korvane_icon_commands)
set(korvane_icon_bitmaps)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND korvane_icon_commands COMMAND ${KORVANE_RSVG_CONVERT} -w ${size} -h ${size}
    -o ${korvane_icon_png}/${size}.png ${CMAKE_SOURCE_DIR}/packaging/korvane.svg)
  if(NOT size EQUAL 256)
    list(APPEND korvane_icon_bitmaps ${korvane_icon_png}/${size}.png)
  endif()
endforeach()
add_custom_command(OUTPUT ${korvane_icon}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${korvane_icon_png}
  ${korvane_icon_commands}
  COMMAND ${KORVANE_ICOTOOL} -c -o ${korvane_icon} ${korvane_icon_bitmaps}
    --raw=${korvane_icon_png}/256.png
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/korvane.svg
  COMMENT "Icon korvane.ico"
  VERBATIM)
add_custom_target(korvane_icon DEPENDS ${korvane_icon})

set(KORVANE_RC_ICON ${korvane_icon})
function(korvane_program_resource KORVANE_RC_NAME KORVANE_RC_DESCRIPTION)
  set(rc ${CMAKE_BINARY_DIR}/packaging/${KORVANE_RC_NAME}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/Program.rc.in ${rc} @ONLY)
  target_sources(${KORVANE_RC_NAME} PRIVATE ${rc})
  set_source_files_properties(${rc} TARGET_DIRECTORY ${KORVANE_RC_NAME}
    PROPERTIES OBJECT_DEPENDS ${korvane_icon})
  add_dependencies(${KORVANE_RC_NAME} korvane_icon)
endfunction()
korvane_program_resource(korvane "Korvane 配置工具")
korvane_program_resource(korvanectl "Korvane 命令行设备操作")
