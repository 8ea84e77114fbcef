# Install rules and the Debian package: the three programs, their manual pages, the desktop
# entry, icon and AppStream metainfo, the copyright file and the changelog.
include(GNUInstallDirs)

find_program(QUORVA_HELP2MAN help2man)
find_program(QUORVA_GZIP gzip REQUIRED)
set(QUORVA_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(pkgdir ${PROJECT_SOURCE_DIR}/packaging)
set(pkgout ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkgout})

set(QUORVA_INSTALLED_PROGRAMS quorva kestro-sim kestro)
install(TARGETS ${QUORVA_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# gzip -n leaves out the name and time stamp, so the same input packs to the same bytes.
function(quorva_gzip source target)
  add_custom_command(OUTPUT ${target}
    COMMAND ${QUORVA_GZIP} -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()

set(manpages)
quorva_gzip(${pkgdir}/quorva.1 ${pkgout}/quorva.1.gz)
list(APPEND manpages ${pkgout}/quorva.1.gz)

# The programs with switches get their page from their own --help, so it cannot fall behind.
set(kestro-sim_summary "a simulated Corrosion Kestro logger on a pseudo-terminal")
set(kestro_summary "look after a Corrosion Kestro logger from the command line")
foreach(program IN ITEMS kestro-sim kestro)
  if(NOT TARGET ${program})
    continue()
  endif()
  if(NOT QUORVA_HELP2MAN)
    # scripts/setup.sh installs it; without it the package check reports the missing page.
    message(STATUS "help2man not found: no manual page for ${program}")
    continue()
  endif()
  add_custom_command(OUTPUT ${pkgout}/${program}.1
    COMMAND ${QUORVA_HELP2MAN} --no-info --no-discard-stderr --section=1
            --version-string=${QUORVA_PACKAGE_VERSION} --name=${${program}_summary}
            --include=${pkgdir}/${program}.h2m --output=${pkgout}/${program}.1
            $<TARGET_FILE:${program}>
    DEPENDS ${program} ${pkgdir}/${program}.h2m VERBATIM)
  quorva_gzip(${pkgout}/${program}.1 ${pkgout}/${program}.1.gz)
  list(APPEND manpages ${pkgout}/${program}.1.gz)
endforeach()

# Version 2.11.0 has no Debian revision, so this is a native package: lintian wants its
# changelog as changelog.gz, not changelog.Debian.gz.
quorva_gzip(${pkgdir}/changelog ${pkgout}/changelog.gz)

# Everything the package holds; scripts/package.sh builds this instead of the tests.
add_custom_target(package-files DEPENDS ${manpages} ${pkgout}/changelog.gz)
add_dependencies(package-files ${QUORVA_INSTALLED_PROGRAMS})

install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pkgdir}/quorva.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/app/quorva.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
set(QUORVA_PROVIDED_BINARIES)
foreach(program IN LISTS QUORVA_INSTALLED_PROGRAMS)
  string(APPEND QUORVA_PROVIDED_BINARIES "    <binary>${program}</binary>\n")
endforeach()
configure_file(${pkgdir}/example.talvenor.quorva.metainfo.xml.in
               ${pkgout}/example.talvenor.quorva.metainfo.xml @ONLY)
install(FILES ${pkgout}/example.talvenor.quorva.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${pkgdir}/copyright ${pkgout}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorva)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorva)
set(CPACK_PACKAGE_VERSION ${QUORVA_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "Talvenor Ltd")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Talvenor Ltd <quorva@talvenor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.talvenor.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG icon is drawn by a Qt plug-in that is loaded at run time, out of dpkg-shlibdeps' sight;
# dpkg-shlibdeps adds the linked libraries to this.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "access software for the Corrosion Kestro hull corrosion logger")
file(READ ${pkgdir}/description CPACK_DEBIAN_PACKAGE_DESCRIPTION)
include(CPack)
