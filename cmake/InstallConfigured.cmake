# Run by `cmake --install`: the systemd unit and the example configuration,
# with the paths of the prefix being installed to (CMAKE_INSTALL_PREFIX here is
# the one given to --install). The variables come from cmake/install.cmake.

# DIR below the prefix, as GNUInstallDirs makes it absolute.
function(locmail_full_dir out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

# LOCALSTATEDIR of /usr is /var, of /opt/NAME /var/opt/NAME (the FHS).
if(LOCMAIL_LOCALSTATEDIR STREQUAL "var" AND CMAKE_INSTALL_PREFIX MATCHES "^/(usr/?)?$")
  set(localstate /var)
elseif(LOCMAIL_LOCALSTATEDIR STREQUAL "var" AND CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
  set(localstate "/var${CMAKE_INSTALL_PREFIX}")
else()
  locmail_full_dir(localstate "${LOCMAIL_LOCALSTATEDIR}")
endif()
if(NOT LOCMAIL_STATE_DIR)
  set(LOCMAIL_STATE_DIR "${localstate}/lib/locmail")
endif()
locmail_full_dir(LOCMAIL_FULL_BINDIR "${LOCMAIL_BINDIR}")
locmail_full_dir(unit_dir "${LOCMAIL_UNIT_DIR}")
locmail_full_dir(doc_dir "${LOCMAIL_DOCDIR}")

# One staging folder per destination, so that installs to two prefixes at once
# cannot swap their files.
string(MD5 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(staging "${LOCMAIL_STAGING}/${destination}")
configure_file("${LOCMAIL_UNIT_TEMPLATE}" "${staging}/locmail.service" @ONLY)
configure_file("${LOCMAIL_RELAY_UNIT_TEMPLATE}" "${staging}/locmail-relay.service" @ONLY)
configure_file("${LOCMAIL_LMTP_UNIT_TEMPLATE}" "${staging}/locmail-lmtp.service" @ONLY)
configure_file("${LOCMAIL_EXAMPLE_TEMPLATE}" "${staging}/qxmta.ini.example" @ONLY)
file(INSTALL "${staging}/locmail.service" "${staging}/locmail-relay.service" "${staging}/locmail-lmtp.service"
     DESTINATION "${unit_dir}")
file(INSTALL "${staging}/qxmta.ini.example" DESTINATION "${doc_dir}")
