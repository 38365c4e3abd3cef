# cmake --install on Windows: the two programs at the top of the folder, the examples
# beside them and README.txt. scripts/build-windows.sh adds the DLLs and zips it.
install(TARGETS korvane korvanectl RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in
  ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)
