# cmake --install on Windows: the two programs at the top of the folder, the examples
# beside them and README.txt. scripts/build-windows.sh adds the DLLs, zips the folder and
# makes the installer from it.
install(TARGETS korvane korvanectl RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in
  ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)

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
