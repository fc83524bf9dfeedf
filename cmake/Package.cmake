# The Debian package (`make package`): what cmake/Install.cmake installs, under /usr, with the
# library dependencies read from the binaries by dpkg-shlibdeps. Tests install nothing, so
# they never reach the package.

# A package is built from an optimised build only: a debug or sanitizer build would ship
# binaries that are slow or that need the sanitizer runtimes.
set(release_build TRUE)
if(NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(release_build FALSE)
endif()
if(NOT release_build)
  add_custom_target(package
    COMMAND ${CMAKE_COMMAND} -E echo
      "oculant: no package from a '${CMAKE_BUILD_TYPE}' build or a sanitizer build, use the default preset"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
  return()
endif()

set(OCULANT_PACKAGE_MAINTAINER "Oculant developers <oculant@example.org>" CACHE STRING
  "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oculant)
set(CPACK_PACKAGE_VENDOR "Oculant developers")
set(CPACK_PACKAGE_CONTACT "${OCULANT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for infrared multi-touch frames")
# Lines of at most 80 characters, for Debian's tools on a terminal.
set(CPACK_PACKAGE_DESCRIPTION
  "Oculant finds infrared touch frames (USB HID, vendor usage page 0xFF00),\n"
  "shows what a frame reports about itself, calibrates touch coordinates against\n"
  "the display (the whole screen or several areas), tests every emitter and\n"
  "receiver with a PASS or FAIL verdict, records the raw receiver signal and\n"
  "draws the reported touches. The package holds the Qt application oculant, the\n"
  "command-line tool oculant-cli, a built-in virtual frame with example profiles,\n"
  "and a udev rule that gives the logged-in user access to every frame.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES TRUE)
# Install into the package's tree with DESTDIR and the prefix /usr itself, so that what is made
# at install time from the prefix (the udev rule's path to the probe) names /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# Debian revision 1 of the upstream version: the package is not Debian's own software, so it
# carries changelog.Debian (cmake/debian/changelog, whose first entry must name this version).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # oculant_<version>-<release>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OCULANT_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpq is loaded when a PostgreSQL URL is first used, out of dpkg-shlibdeps' sight; a station
# of a line's server needs it as it always did (CPack adds the libraries it finds to this).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpq5")
# The Chinese texts of lan.ini need a font with those glyphs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
# Qt loads its platform plugin at run time, out of dpkg-shlibdeps' sight: xcb comes with
# libqt6gui6 (X11 and XWayland); the native Wayland plugin is a package of its own.
if(TARGET oculant)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
