# What `cmake --install` lays out, and the Debian package CPack makes of it
# (`cpack -G DEB` in a build folder configured with CMAKE_INSTALL_PREFIX=/usr; see
# scripts/package). Installed layout, below the prefix:
#   bin/listelo
#   lib/systemd/system/listelo@.service, listelo@.timer
#   share/doc/listelo/README.md, docs/*.md, Listelo.ini.example, copyright, changelog.gz
# The documentation folder is named after the package, not the project.
set(CMAKE_INSTALL_DOCDIR share/doc/listelo)
include(GNUInstallDirs)

install(TARGETS listelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The manual page, compressed as Debian wants it.
set(listelo_manual ${CMAKE_CURRENT_BINARY_DIR}/listelo.1.gz)
add_custom_command(OUTPUT ${listelo_manual}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/listelo.1 > ${listelo_manual}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/listelo.1)
add_custom_target(listelo_manual ALL DEPENDS ${listelo_manual})
install(FILES ${listelo_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/listelo@.service ${CMAKE_CURRENT_LIST_DIR}/listelo@.timer
        DESTINATION lib/systemd/system)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/Listelo.ini.example ${CMAKE_CURRENT_SOURCE_DIR}/README.md
              ${CMAKE_CURRENT_LIST_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# Debian wants the changelog compressed, with no time stamp in the gzip header.
set(listelo_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${listelo_changelog}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${listelo_changelog}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(listelo_changelog ALL DEPENDS ${listelo_changelog})
install(FILES ${listelo_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME listelo)
set(CPACK_PACKAGE_VENDOR "Quarno")
set(CPACK_PACKAGE_CONTACT "Quarno <support@quarno.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "publishes a car dealer's stock to classified-ad portals")
set(CPACK_PACKAGE_DESCRIPTION
    "Listelo reads the stock documents a dealer's stock database writes,\n"
    "reshapes every vehicle into each portal's file format, packs and uploads\n"
    "the files by FTP, keeps the dealer's photo server in step and logs every\n"
    "step. It runs unattended from systemd timers (listelo@TARGET.timer).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
