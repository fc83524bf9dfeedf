# The frames' udev rule runs `oculant-udev-probe` by its installed path, so the rule file is
# made from the template data/70-oculant.rules for the prefix it is installed under:
#   - at configure time for CMAKE_INSTALL_PREFIX, into <build>/udev/70-oculant.rules (the file
#     the tests read);
#   - again at install time, for the prefix then in force (`cmake --install --prefix DIR`, or
#     /usr for the package: cmake/Package.cmake installs it with that prefix and a DESTDIR).
set(udev_rule_template ${CMAKE_SOURCE_DIR}/data/70-oculant.rules)
set(udev_probe "${OCULANT_INSTALL_PKGDIR}/oculant-udev-probe")
set(udev_rules_dir "${OCULANT_INSTALL_UDEVRULESDIR}")
if(NOT IS_ABSOLUTE "${udev_probe}")
  set(udev_probe_configured "${CMAKE_INSTALL_PREFIX}/${udev_probe}")
  set(udev_probe "\${CMAKE_INSTALL_PREFIX}/${udev_probe}")
else()
  set(udev_probe_configured "${udev_probe}")
endif()
if(NOT IS_ABSOLUTE "${udev_rules_dir}")
  set(udev_rules_dir "\${CMAKE_INSTALL_PREFIX}/${udev_rules_dir}")
endif()

set(OCULANT_UDEV_PROBE_PROGRAM "${udev_probe_configured}")
configure_file(${udev_rule_template} ${CMAKE_BINARY_DIR}/udev/70-oculant.rules @ONLY)

# Made in a scratch folder, not the build tree: `sudo cmake --install` would leave a file there
# that a later install as the user could not replace.
install(CODE "
  set(OCULANT_UDEV_PROBE_PROGRAM \"${udev_probe}\")
  set(scratch \"\$ENV{TMPDIR}\")
  if(NOT scratch)
    set(scratch /tmp)
  endif()
  string(RANDOM LENGTH 12 suffix)
  set(scratch \"\${scratch}/oculant-udev-\${suffix}\")
  configure_file(\"${udev_rule_template}\" \"\${scratch}/70-oculant.rules\" @ONLY)
  file(INSTALL DESTINATION \"${udev_rules_dir}\" TYPE FILE
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    FILES \"\${scratch}/70-oculant.rules\")
  file(REMOVE_RECURSE \"\${scratch}\")
")
