# What `cmake --install` puts where. On Linux under the prefix: the tools in
# bin/, the README in share/doc/filesplit/, a manual page for each tool in
# share/man/man1/ (compressed, as Debian keeps them). On Windows everything
# in one folder, beside each other, as a user unpacks it.
include(GNUInstallDirs)

if(WIN32)
  set(FILESPLIT_INSTALL_BINDIR .)
  set(FILESPLIT_INSTALL_DOCDIR .)
else()
  set(FILESPLIT_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(FILESPLIT_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME})
endif()

install(TARGETS ${FILESPLIT_TOOLS} RUNTIME DESTINATION ${FILESPLIT_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${FILESPLIT_INSTALL_DOCDIR})

if(NOT WIN32)
  # The pages carry the project's version; gzip -n keeps the archive free of
  # the build's time and name, so that the same tree gives the same bytes.
  find_program(FILESPLIT_GZIP gzip REQUIRED)
  set(FILESPLIT_MAN_PAGES)
  foreach(tool IN LISTS FILESPLIT_TOOLS)
    set(page ${CMAKE_BINARY_DIR}/man/${tool}.1)
    configure_file(${CMAKE_SOURCE_DIR}/man/${tool}.1.in ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz
                       COMMAND ${FILESPLIT_GZIP} -9 -n -c ${page} > ${page}.gz
                       DEPENDS ${page}
                       COMMENT "Compressing the manual page ${tool}.1")
    list(APPEND FILESPLIT_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${FILESPLIT_MAN_PAGES})
  install(FILES ${FILESPLIT_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
