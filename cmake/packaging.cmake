# Install rules and the Debian package. Paths follow GNUInstallDirs, so that `cmake --install`
# into a prefix and the package (which installs under /usr) lay out the same tree.
include(GNUInstallDirs)

# Debian wants the licence as a machine-readable copyright file. It is made from LICENSE, so the
# two never disagree: the MIT text goes in as the "Expat" licence paragraph, one space in front of
# each line and a "." for each empty line.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE brisol_licence)
if(NOT brisol_licence MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(Permission [^\n]+.*)$")
  message(FATAL_ERROR "LICENSE: no copyright line followed by the MIT licence text")
endif()
set(brisol_copyright_holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" brisol_licence_body)
string(REPLACE "\n\n" "\n.\n" brisol_licence_body "${brisol_licence_body}")
string(REPLACE "\n" "\n " brisol_licence_body " ${brisol_licence_body}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: The Brisol developers <brisol@example.org>
Source: https://brisol.example.org/

Files: *
Copyright: ${brisol_copyright_holder}
License: Expat
${brisol_licence_body}
")

# The package's changelog, Debian's format. Its latest entry must be this version's.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian-changelog)
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian-changelog brisol_changelog_top LIMIT_COUNT 1)
if(NOT brisol_changelog_top MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian-changelog: the latest entry is not ${PROJECT_VERSION}: ${brisol_changelog_top}")
endif()

# Debian installs manual pages and changelogs compressed with gzip -9n (no name, no time stamp,
# so that the same sources give the same bytes); where gzip is missing they go in as they are.
find_program(BRISOL_GZIP gzip)
set(brisol_man_page ${PROJECT_SOURCE_DIR}/doc/brisol.1)
set(brisol_changelog ${PROJECT_SOURCE_DIR}/cmake/debian-changelog)
set(brisol_changelog_name changelog)
if(BRISOL_GZIP)
  set(brisol_man_page ${PROJECT_BINARY_DIR}/brisol.1.gz)
  set(brisol_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  set(brisol_changelog_name changelog.gz)
  add_custom_command(OUTPUT ${brisol_man_page} ${brisol_changelog}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/brisol.1 brisol.1
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/cmake/debian-changelog changelog
    COMMAND ${BRISOL_GZIP} -9nf brisol.1 changelog
    DEPENDS doc/brisol.1 cmake/debian-changelog
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    VERBATIM)
  add_custom_target(brisol_compressed_docs ALL DEPENDS ${brisol_man_page} ${brisol_changelog})
endif()

install(TARGETS brisol RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${brisol_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES schema/brisol-report.xsd DESTINATION ${CMAKE_INSTALL_DATADIR}/brisol)
# bash-completion loads a completion on demand from a file named after the command.
install(FILES completions/brisol.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME brisol)
# A native package (its version has no Debian revision) names its changelog changelog.gz.
install(FILES ${brisol_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME ${brisol_changelog_name})
install(FILES README.md LICENSE ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_VENDOR "The Brisol developers")
set(CPACK_PACKAGE_CONTACT "The Brisol developers <brisol@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://brisol.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# One line per control file line: CPack keeps the breaks and indents each line.
set(CPACK_PACKAGE_DESCRIPTION "\
Brisol reports what the machine's Vulkan implementation offers: the instance
extensions and, for every physical device, its name, vendor and device IDs,
driver and API versions, device type, memory heaps, device extensions and, on
request, all of its limits. The report is printed as plain text or as an XML
document, whose schema comes with the package, so that it can be stored,
compared between machines and drivers, and fed to other tools.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
endif()

# brisol_<version>_<architecture>.deb, the name Debian's own tools give.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps finds the C and C++ runtime libraries. It cannot see the loader, which is opened
# at run time, so that dependency is named here; without a driver the loader finds no device.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libvulkan1)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS mesa-vulkan-drivers)
include(CPack)
