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

install(TARGETS brisol RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES doc/brisol.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES schema/brisol-report.xsd DESTINATION ${CMAKE_INSTALL_DATADIR}/brisol)
# bash-completion loads a completion on demand from a file named after the command.
install(FILES completions/brisol.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME brisol)
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
