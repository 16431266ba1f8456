# What a Linux installation holds beside the programs (manual pages, bash completion) and the Debian package
# that CPack makes of it: `cpack -G DEB` in the build folder gives tunelore-importer_VERSION_ARCH.deb, with its
# dependencies found by dpkg-shlibdeps. The window's own desktop files are installed by ui/CMakeLists.txt.
include(GNUInstallDirs)

# Manual pages are installed compressed, as Debian ships them.
find_program(TUNELORE_GZIP gzip REQUIRED)
set(TUNELORE_MAN_PAGES tunelore-cli.1)
if(TUNELORE_BUILD_UI)
    list(APPEND TUNELORE_MAN_PAGES tunelore-importer.1)
endif()
set(compressed_pages)
foreach(page ${TUNELORE_MAN_PAGES})
    set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/${page} ${CMAKE_BINARY_DIR}/man/${page}
        COMMAND ${TUNELORE_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/${page}
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/${page}
        VERBATIM)
    list(APPEND compressed_pages ${out})
endforeach()
add_custom_target(tunelore-man-pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The user at the seat may reach a connected handheld's USB device, for HotSync without root. Always under
# /usr/lib: udev reads no multiarch folder.
install(FILES ${PROJECT_SOURCE_DIR}/res/60-tunelore-palm.rules DESTINATION lib/udev/rules.d)

install(FILES ${PROJECT_SOURCE_DIR}/res/tunelore-cli.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME tunelore-cli)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunelore-importer)
set(CPACK_PACKAGE_VENDOR "Tunelore Importer developers")
set(CPACK_PACKAGE_CONTACT "Tunelore Importer developers <maintainers@tunelore.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "songs and chord lists to databases for a Palm songbook")
set(CPACK_PACKAGE_DESCRIPTION
    "Tunelore Importer turns song files (ChordPro, plain text, and tab files with the chords above the \
lyrics) and chord-fingering lists into Palm OS databases for the Tunelore songbook application on a Palm \
handheld, and reads the handheld's own song and chord databases back into files. It comes as a desktop \
window, tunelore-importer, and a command-line tool, tunelore-cli.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/tunelore/importer")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# HotSync over USB goes through libusb; the programs' own libraries are added by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libusb-1.0-0)
# The window's Install hands the database to the desktop through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
