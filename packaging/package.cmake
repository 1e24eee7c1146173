# The Debian package: `cpack -G DEB` (or `cmake --build build --target package`)
# in the build folder makes zvonarka_2.5.0_amd64.deb of the same install rules
# as `cmake --install`, into /usr. Its library dependencies are found from the
# binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zvonarka)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_VENDOR Korvel)
set(CPACK_PACKAGE_CONTACT "Korvel <korvel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "alarm clock and reminders with an hourly chime")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zvonarka.example.org/)
# The synopsis is the summary above; this is the long text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zvonarka keeps a list of tasks, each with a time of day or a countdown,
a repeat rule, a message, a sound and an action: show the message, restart or
switch off the computer, or open a program or document. An hourly chime sounds
on its own. Russian interface; it lives in one window and the tray.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The sound module is loaded by name at run time, not linked: shlibdeps still
# sees its libraries, since it is a file of the package. The layout is drawn
# for Liberation Sans; Qt's own texts (the boxes' buttons) come in Russian
# from Qt's translations; a Wayland session wants Qt's Wayland plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What Debian asks of every package: the copyright file and the changelog,
# compressed without a timestamp so the package builds the same each time.
set(zv_doc ${CMAKE_INSTALL_DATADIR}/doc/zvonarka)
set(zv_changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${zv_changelog_gz}
  COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/changelog > ${zv_changelog_gz}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/changelog
  COMMENT "Compressing the changelog")
add_custom_target(zv_changelog ALL DEPENDS ${zv_changelog_gz})
install(FILES copyright ${zv_changelog_gz} DESTINATION ${zv_doc})
# The power module calls only libsystemd, no C library function, so it needs
# no libc of its own: it is loaded into the program, which has one.
install(FILES lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME zvonarka)

include(CPack)
