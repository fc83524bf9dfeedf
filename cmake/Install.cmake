# `cmake --install` layout. The executables look for lan.ini (and logo.jpg) in their own folder,
# found through /proc/self/exe, so they live together in a program folder and the PATH gets
# relative symbolic links to them:
#   <prefix>/lib/oculant/{oculant,oculant-cli,lan.ini}    <prefix>/bin/{oculant,oculant-cli} -> ../lib/oculant/...
#   <prefix>/lib/oculant/oculant-udev-probe               the udev rule's program (no link in bin)
#   <prefix>/share/oculant/profiles/*.ini                 virtual frame profiles
#   <prefix>/share/oculant/plans/*.ini                    test plans (the documented example)
#   <prefix>/lib/udev/rules.d/70-oculant.rules            frame access for the seat's user
#   <prefix>/share/bash-completion/completions/oculant-cli  written by oculant-cli from its option tables
#   <prefix>/share/{applications,icons/hicolor/scalable/apps,metainfo,man/man1}
#   <prefix>/share/doc/oculant/{copyright,changelog.Debian.gz}, share/lintian/overrides/oculant
include(GNUInstallDirs)

set(OCULANT_INSTALL_PKGDIR "lib/oculant" CACHE STRING
  "Program folder, relative to the prefix: the executables and lan.ini")
# udev reads /etc, /run, /usr/local/lib and /usr/lib/udev/rules.d: right for the prefixes /usr
# (the package) and /usr/local. With another prefix, copy the rule into /etc/udev/rules.d.
set(OCULANT_INSTALL_UDEVRULESDIR "lib/udev/rules.d" CACHE STRING
  "udev rules folder, relative to the prefix")

set(program_targets oculant-cli)
if(TARGET oculant)
  list(APPEND program_targets oculant)
endif()
install(TARGETS ${program_targets} oculant-udev-probe RUNTIME DESTINATION ${OCULANT_INSTALL_PKGDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/lan.ini DESTINATION ${OCULANT_INSTALL_PKGDIR})

# The links are made here, dangling in the build tree, and installed as links.
file(RELATIVE_PATH pkgdir_from_bindir "/${CMAKE_INSTALL_BINDIR}" "/${OCULANT_INSTALL_PKGDIR}")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launchers)
foreach(program ${program_targets})
  file(CREATE_LINK "${pkgdir_from_bindir}/${program}" "${CMAKE_BINARY_DIR}/launchers/${program}" SYMBOLIC)
  install(FILES "${CMAKE_BINARY_DIR}/launchers/${program}" DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/profiles/ DESTINATION ${CMAKE_INSTALL_DATADIR}/oculant/profiles
  FILES_MATCHING PATTERN "*.ini")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/plans/ DESTINATION ${CMAKE_INSTALL_DATADIR}/oculant/plans
  FILES_MATCHING PATTERN "*.ini")
# Where bash-completion loads a command's completion from the first time it is completed.
install(FILES ${OCULANT_CLI_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
include(${CMAKE_CURRENT_LIST_DIR}/UdevRule.cmake)

# Manual pages, with the project's version in the title line, gzipped without a time stamp (-n)
# so that two builds give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_pages oculant-cli)
if(TARGET oculant)
  list(APPEND man_pages oculant)
endif()
set(man_outputs)
foreach(page ${man_pages})
  set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REGEX REPLACE "\"Oculant [0-9][0-9.]*\"" "\"Oculant ${PROJECT_VERSION}\"" text "${text}")
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1 CONTENT "${text}" @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -f -k ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    COMMENT "Compressing the manual page ${page}(1)")
  list(APPEND man_outputs ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(oculant_man ALL DEPENDS ${man_outputs})
install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The desktop entry starts the windowed tool, so it comes only with it.
if(TARGET oculant)
  install(FILES ${CMAKE_SOURCE_DIR}/data/oculant.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/oculant.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/data/org.example.oculant.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The copyright file and the changelog, where Debian keeps them (share/doc/<package>; the
# changelog of a Debian revision is changelog.Debian, compressed without a time stamp).
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/oculant)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${docdir})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/cmake/debian/changelog > ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(oculant_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz DESTINATION ${docdir})
# lintian's overrides, each with the reason it is overridden.
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME oculant)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
