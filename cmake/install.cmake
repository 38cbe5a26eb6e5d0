# What `cmake --install BUILD [--prefix P]` puts where (GNUInstallDirs places):
# the command, the agent's shared library, both man pages, the systemd unit and
# an example configuration. The command links the agent statically, so it runs
# from any prefix without an RPATH. Nothing is created outside the prefix: the
# service user and the installation itself are made by the operator
# (useradd, `locmail init DIR --owner USER`), as README.md says.
set(LOCMAIL_SERVICE_USER locmail CACHE STRING "the user the systemd unit runs `locmail run` as")
set(LOCMAIL_STATE_DIR "" CACHE STRING
    "the installation the systemd unit uses (empty: LOCALSTATEDIR/lib/locmail of the install prefix)")
set(LOCMAIL_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING "where the systemd unit goes, below the prefix")

install(TARGETS locmail locmail-inject RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS locmail_agent LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/locmail.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/locmail.ini.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

# The unit and the example name installed paths: they are filled in at install
# time, for the prefix given then.
install(CODE "
  set(LOCMAIL_SERVICE_USER \"${LOCMAIL_SERVICE_USER}\")
  set(LOCMAIL_STATE_DIR \"${LOCMAIL_STATE_DIR}\")
  set(LOCMAIL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(LOCMAIL_LOCALSTATEDIR \"${CMAKE_INSTALL_LOCALSTATEDIR}\")
  set(LOCMAIL_UNIT_DIR \"${LOCMAIL_SYSTEMD_UNIT_DIR}\")
  set(LOCMAIL_DOCDIR \"${CMAKE_INSTALL_DOCDIR}\")
  set(LOCMAIL_UNIT_TEMPLATE \"${PROJECT_SOURCE_DIR}/dist/locmail.service.in\")
  set(LOCMAIL_RELAY_UNIT_TEMPLATE \"${PROJECT_SOURCE_DIR}/dist/locmail-relay.service.in\")
  set(LOCMAIL_LMTP_UNIT_TEMPLATE \"${PROJECT_SOURCE_DIR}/dist/locmail-lmtp.service.in\")
  set(LOCMAIL_EXAMPLE_TEMPLATE \"${PROJECT_BINARY_DIR}/qxmta.ini.example.in\")
  set(LOCMAIL_STAGING \"${PROJECT_BINARY_DIR}/install-staging\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallConfigured.cmake)
