# What `cmake --install` puts where, and the .deb that CPack builds from it.
#
#   bin/                          korvex, korvex-cli
#   lib/korvex/korvex-mime        file-type names, started only when asked for
#   share/korvex/                 korvex.INI, TxMacroBefore.txt, TxMacroAfter.txt: each user's first settings
#   share/doc/korvex/             Readme.txt (the licence and warranty conditions the About box points to),
#                                 copyright (the MIT licence, machine-readable), changelog.Debian.gz
#   share/applications/, share/icons/hicolor/, share/mime/packages/, share/man/man1/
#
# The program finds share/korvex/ from its own path (bin/../share/korvex/), so the prefix can be anything.

include(GNUInstallDirs)

# The package's maintainer (Debian asks for a name and a mail address) and its Debian revision; the home page
# and the bug address are KORVEX_HOMEPAGE and KORVEX_BUG_REPORT_URL.
set(KORVEX_MAINTAINER "the Korvex developers <developers@korvex.example>"
    CACHE STRING "The package's maintainer, \"Name <address>\"")
set(KORVEX_PACKAGE_RELEASE 1 CACHE STRING "The Debian revision of the package")
set(KORVEX_PACKAGE_VERSION ${PROJECT_VERSION}-${KORVEX_PACKAGE_RELEASE})

set(KORVEX_INSTALL_RESOURCES ${PROJECT_SOURCE_DIR}/resources/install)

set(KORVEX_PROGRAMS korvex-cli)
if(TARGET korvex)
    list(APPEND KORVEX_PROGRAMS korvex)
endif()
install(TARGETS ${KORVEX_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The file-type names of --version-info and the About box: looked for in bin/../lib/korvex/.
if(TARGET korvex-mime)
    install(TARGETS korvex-mime RUNTIME DESTINATION lib/korvex)
endif()

install(FILES ${KORVEX_INSTALL_RESOURCES}/korvex.INI ${PROJECT_SOURCE_DIR}/resources/TxMacroBefore.txt
              ${PROJECT_SOURCE_DIR}/resources/TxMacroAfter.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korvex)
install(FILES ${KORVEX_INSTALL_RESOURCES}/Readme.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvex)

# The manual pages are written by hand (they say more than --help: exit status, examples, files); the
# contact fields are filled in here. Installed compressed, as Debian's manual pages are, with gzip -n so the
# same sources give the same bytes.
find_program(KORVEX_GZIP gzip REQUIRED)
set(KORVEX_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
set(man_dir ${PROJECT_BINARY_DIR}/man)
set(man_pages)
foreach(page IN ITEMS korvex korvex-cli)
    configure_file(${KORVEX_INSTALL_RESOURCES}/${page}.1 ${man_dir}/${page}.1 @ONLY)
    add_custom_command(
        OUTPUT ${man_dir}/${page}.1.gz
        COMMAND ${KORVEX_GZIP} -9nf -k ${man_dir}/${page}.1
        DEPENDS ${man_dir}/${page}.1
        COMMENT "Compressing the manual page of ${page}"
        VERBATIM)
    list(APPEND man_pages ${man_dir}/${page}.1.gz)
endforeach()

# The licence as Debian reads it, and the package's change log (compressed the same reproducible way).
set(doc_dir ${PROJECT_BINARY_DIR}/doc)
configure_file(${KORVEX_INSTALL_RESOURCES}/copyright.in ${doc_dir}/copyright @ONLY)
configure_file(${KORVEX_INSTALL_RESOURCES}/changelog.in ${doc_dir}/changelog.Debian @ONLY)
add_custom_command(
    OUTPUT ${doc_dir}/changelog.Debian.gz
    COMMAND ${KORVEX_GZIP} -9nf -k ${doc_dir}/changelog.Debian
    DEPENDS ${doc_dir}/changelog.Debian
    COMMENT "Compressing the package's change log"
    VERBATIM)
add_custom_target(korvex_man_pages ALL DEPENDS ${man_pages} ${doc_dir}/changelog.Debian.gz)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${doc_dir}/copyright ${doc_dir}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvex)
# What lintian would flag and why it is as meant: each override carries its reason.
install(FILES ${KORVEX_INSTALL_RESOURCES}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME korvex)

if(TARGET korvex)
    install(FILES ${KORVEX_INSTALL_RESOURCES}/korvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${KORVEX_INSTALL_RESOURCES}/korvex-excellon.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
    foreach(size IN ITEMS 16 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/korvex-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME korvex.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/korvex.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The .deb: `cpack -G DEB` in the build folder (`make package`). Its Depends come from the libraries the
# programs link (dpkg-shlibdeps) plus the fonts the window draws with.
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VENDOR "the Korvex developers")
set(CPACK_PACKAGE_CONTACT "${KORVEX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KORVEX_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Excellon drill file to G-code converter")
# The synopsis comes from the summary; these are the lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Korvex turns the Excellon drill file of a printed circuit board into a G-code\nprogram for a CNC drilling or milling machine: a window (korvex) and a\ncommand-line converter (korvex-cli) over one engine.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KORVEX_PACKAGE_RELEASE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_README ${KORVEX_INSTALL_RESOURCES}/Readme.txt)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-liberation2")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
