# What `cmake --install` puts where, and the .deb that CPack builds from it.
#
#   bin/                          korvex, korvex-cli
#   lib/korvex/korvex-mime        file-type names, started only when asked for
#   share/korvex/                 korvex.INI, TxMacroBefore.txt, TxMacroAfter.txt: each user's first settings
#   share/doc/korvex/Readme.txt   the warranty conditions the About box points to
#   share/applications/, share/icons/hicolor/, share/mime/packages/, share/man/man1/
#
# The program finds share/korvex/ from its own path (bin/../share/korvex/), so the prefix can be anything.

include(GNUInstallDirs)

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

# The manual of korvex-cli is its --help, so the two never disagree; the window's is written by hand. Both
# are installed compressed, as Debian's manual pages are.
find_program(KORVEX_HELP2MAN help2man)
find_program(KORVEX_GZIP gzip REQUIRED)
set(man_dir ${PROJECT_BINARY_DIR}/man)
set(man_pages ${man_dir}/korvex.1.gz)
add_custom_command(
    OUTPUT ${man_dir}/korvex.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${KORVEX_GZIP} -9nc ${KORVEX_INSTALL_RESOURCES}/korvex.1 > ${man_dir}/korvex.1.gz
    DEPENDS ${KORVEX_INSTALL_RESOURCES}/korvex.1
    COMMENT "Compressing the manual page of korvex")
if(KORVEX_HELP2MAN)
    add_custom_command(
        OUTPUT ${man_dir}/korvex-cli.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
        COMMAND ${KORVEX_HELP2MAN} --no-info --section=1 --source=Korvex
                "--name=convert an Excellon drill file into a G-code program" --output=${man_dir}/korvex-cli.1
                $<TARGET_FILE:korvex-cli>
        COMMAND ${KORVEX_GZIP} -9nf ${man_dir}/korvex-cli.1
        DEPENDS korvex-cli
        COMMENT "Writing the manual page of korvex-cli"
        VERBATIM)
    list(APPEND man_pages ${man_dir}/korvex-cli.1.gz)
else()
    message(WARNING "help2man not found: korvex-cli gets no manual page")
endif()
add_custom_target(korvex_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

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
set(CPACK_PACKAGE_VENDOR "Korvex developers")
set(CPACK_PACKAGE_CONTACT "Korvex developers <korvex@korvex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Excellon drill file to G-code converter")
# The synopsis comes from the summary; these are the lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Korvex turns the Excellon drill file of a printed circuit board into a G-code\nprogram for a CNC drilling or milling machine: a window (korvex) and a\ncommand-line converter (korvex-cli) over one engine.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_README ${KORVEX_INSTALL_RESOURCES}/Readme.txt)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-liberation2")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
