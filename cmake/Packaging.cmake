# Install rules and the Debian packages, three from the one source: quorva (the window),
# kestro (the command line: QtCore and libudev only, for a headless boat PC) and kestro-sim
# (the simulated logger, for those who want to try the others without one). Each has its
# programs, their manual pages, the copyright file and the changelog.
include(GNUInstallDirs)

find_program(QUORVA_HELP2MAN help2man)
find_program(QUORVA_GZIP gzip REQUIRED)
set(QUORVA_PACKAGE_VERSION ${PROJECT_VERSION})
set(pkgdir ${PROJECT_SOURCE_DIR}/packaging)
set(pkgout ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkgout})

# Component (as install() names it), the package it becomes, and the program it holds.
set(QUORVA_COMPONENTS quorva kestro sim)
set(quorva_package quorva)
set(kestro_package kestro)
set(sim_package kestro-sim)
set(quorva_program quorva)
set(kestro_program kestro)
set(sim_program kestro-sim)

# gzip -n leaves out the name and time stamp, so the same input packs to the same bytes.
function(quorva_gzip source target)
  add_custom_command(OUTPUT ${target}
    COMMAND ${QUORVA_GZIP} -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()

# The programs with switches get their page from their own --help, so it cannot fall behind.
set(kestro-sim_summary "a simulated Corrosion Kestro logger on a pseudo-terminal")
set(kestro_summary "look after a Corrosion Kestro logger from the command line")
set(package_files)
foreach(component IN LISTS QUORVA_COMPONENTS)
  set(program ${${component}_program})
  set(package ${${component}_package})
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  if(program STREQUAL "quorva")
    quorva_gzip(${pkgdir}/quorva.1 ${pkgout}/quorva.1.gz)
  elseif(QUORVA_HELP2MAN)
    add_custom_command(OUTPUT ${pkgout}/${program}.1
      COMMAND ${QUORVA_HELP2MAN} --no-info --no-discard-stderr --section=1
              --version-string=${QUORVA_PACKAGE_VERSION} --name=${${program}_summary}
              --include=${pkgdir}/${program}.h2m --output=${pkgout}/${program}.1
              $<TARGET_FILE:${program}>
      DEPENDS ${program} ${pkgdir}/${program}.h2m VERBATIM)
    quorva_gzip(${pkgout}/${program}.1 ${pkgout}/${program}.1.gz)
  else()
    # scripts/setup.sh installs it; without it the package check reports the missing page.
    message(STATUS "help2man not found: no manual page for ${program}")
    continue()
  endif()
  install(FILES ${pkgout}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT ${component})
  # Every package carries its own copyright file and changelog, as Debian asks.
  install(FILES ${pkgdir}/copyright ${pkgout}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  list(APPEND package_files ${pkgout}/${program}.1.gz)
endforeach()

# Version 2.11.0 has no Debian revision, so these are native packages: lintian wants the
# changelog as changelog.gz, not changelog.Debian.gz.
quorva_gzip(${pkgdir}/changelog ${pkgout}/changelog.gz)

# Part of every build, so that cmake --install and cpack work after a plain one.
add_custom_target(package-files ALL DEPENDS ${package_files} ${pkgout}/changelog.gz)
add_dependencies(package-files quorva kestro kestro-sim)

install(FILES ${pkgdir}/kestro.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kestro COMPONENT kestro)
install(FILES ${pkgdir}/quorva.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT quorva)
install(FILES ${PROJECT_SOURCE_DIR}/app/quorva.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT quorva)
set(QUORVA_PROVIDED_BINARIES "    <binary>quorva</binary>\n")
configure_file(${pkgdir}/example.talvenor.quorva.metainfo.xml.in
               ${pkgout}/example.talvenor.quorva.metainfo.xml @ONLY)
install(FILES ${pkgout}/example.talvenor.quorva.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT quorva)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QUORVA_COMPONENTS})
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
# Each package depends on what its program links, as dpkg-shlibdeps finds it: kestro on
# QtCore and libudev, never on the GUI stack.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
foreach(component IN LISTS QUORVA_COMPONENTS)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${${component}_package})
  set(CPACK_DEBIAN_${upper}_FILE_NAME DEB-DEFAULT)
  # The first line is the summary, the rest the long description.
  file(READ ${pkgdir}/${${component}_package}.description CPACK_DEBIAN_${upper}_DESCRIPTION)
endforeach()
# The SVG icon is drawn by a Qt plug-in that is loaded at run time, out of dpkg-shlibdeps' sight;
# dpkg-shlibdeps adds the linked libraries to this.
set(CPACK_DEBIAN_QUORVA_PACKAGE_DEPENDS libqt6svg6)
set(CPACK_DEBIAN_QUORVA_PACKAGE_SUGGESTS "kestro, kestro-sim")
include(CPack)
