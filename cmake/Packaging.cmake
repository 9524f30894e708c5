# The release artefacts. Only the component "product" is packaged: the bridge,
# the tools for users (nimbra-reload, nimbra-profile, nimbra-unit, and on
# Windows nimbra-autostart), the sample GLOBAL profile, the commented settings
# file and the guides; simhost, virtual_unit, the demo and the test programs
# have no install rules in it and never reach a package.
#   Windows (the windows preset): cpack -G ZIP, a folder Nimbra_Bridge-<version>-win64
#     with Nimbra_Bridge.exe, the sample profile and the settings file beside it;
#     cpack -G NSIS, the installer Nimbra_Bridge-<version>-win64-setup.exe of the
#     same files (packaging/windows/NSIS.template.in).
#   Linux (the linux-release preset): cpack -G DEB, the package nimbra-bridge.
# scripts/package builds both.
set(_pkg ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(_sample ${CMAKE_CURRENT_SOURCE_DIR}/docs/examples/Velk_Throttle_Config.json)
set(_product_tools nimbra-reload nimbra-profile)
set(_settings ${_pkg}/Nimbra_Bridge.ini)
# nimbra-profile carries the variable catalogue; its licence travels with it.
set(_catalogue_notice ${CMAKE_CURRENT_SOURCE_DIR}/tools/nimbra-profile/catalogue/NOTICE)

if(WIN32)
  # The bridge finds its GLOBAL profile beside itself: both at the top.
  # nimbra-unit reads the settings file beside itself, as the bridge does.
  install(TARGETS Nimbra_Bridge ${_product_tools} nimbra-unit nimbra-autostart RUNTIME DESTINATION . COMPONENT product)
  install(FILES ${_sample} DESTINATION . COMPONENT product)
  # Every key commented out: as shipped it changes nothing.
  configure_file(${_settings} ${CMAKE_CURRENT_BINARY_DIR}/packaging/Nimbra_Bridge.ini @ONLY NEWLINE_STYLE WIN32)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/Nimbra_Bridge.ini DESTINATION . COMPONENT product)
  # Texts with Windows line ends. The SimConnect.cfg example stays in
  # a folder of its own, so that it never applies by accident.
  configure_file(${_pkg}/windows/README.txt ${CMAKE_CURRENT_BINARY_DIR}/packaging/README.txt
                 @ONLY NEWLINE_STYLE WIN32)
  configure_file(${_pkg}/windows/SimConnect.cfg ${CMAKE_CURRENT_BINARY_DIR}/packaging/SimConnect.cfg
                 @ONLY NEWLINE_STYLE WIN32)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/README.txt DESTINATION . COMPONENT product)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/SimConnect.cfg DESTINATION examples COMPONENT product)
  install(FILES docs/profiles.md docs/connection.md docs/unit.md docs/profile.schema.json
          DESTINATION docs COMPONENT product)
  install(FILES ${_catalogue_notice} DESTINATION docs RENAME catalogue-NOTICE.txt COMPONENT product)

  # Not stripped: the zip holds the very executable that the tests ran.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Nimbra_Bridge-${PROJECT_VERSION}-win64)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)

  # The installer: 64-bit (the 32-bit stub does not start under 64-bit-only
  # Wine), from our own template. Files the pilot edits in the install folder
  # are installed only when absent and never removed; every other file of
  # packaging/windows/contents is removed by the uninstaller.
  set(_pilot_files Velk_Throttle_Config.json Nimbra_Bridge.ini)
  file(STRINGS ${_pkg}/windows/contents _shipped REGEX "^[^#]")
  set(_bs [[\]])
  set(_nsh "; The installer's file lists, made from packaging/windows/contents.\n")
  string(APPEND _nsh "!macro NIMBRA_INSTALL_FILES\n  File /r")
  foreach(_file ${_pilot_files})
    string(APPEND _nsh " /x \"${_file}\"")
  endforeach()
  string(APPEND _nsh " \"\${INST_DIR}${_bs}*.*\"\n  SetOverwrite off\n")
  foreach(_file ${_pilot_files})
    string(APPEND _nsh "  File /nonfatal \"\${INST_DIR}${_bs}${_file}\"\n")
  endforeach()
  string(APPEND _nsh "  SetOverwrite on\n!macroend\n!macro NIMBRA_DELETE_FILES\n")
  set(_folders "")
  foreach(_file ${_shipped})
    if(NOT _file IN_LIST _pilot_files)
      string(REPLACE "/" "${_bs}" _windows "${_file}")
      string(APPEND _nsh "  Delete \"$INSTDIR${_bs}${_windows}\"\n")
      get_filename_component(_folder "${_file}" DIRECTORY)
      if(_folder AND NOT _folder IN_LIST _folders)
        list(APPEND _folders "${_folder}")
      endif()
    endif()
  endforeach()
  foreach(_folder ${_folders})
    string(REPLACE "/" "${_bs}" _windows "${_folder}")
    string(APPEND _nsh "  RMDir \"$INSTDIR${_bs}${_windows}\"\n")
  endforeach()
  string(APPEND _nsh "!macroend\n")
  set(CPACK_NIMBRA_NSIS_FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/nimbra_files.nsh)
  file(WRITE ${CPACK_NIMBRA_NSIS_FILES} "${_nsh}")
  set(CPACK_MODULE_PATH ${_pkg}/windows)
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_PROJECT_CONFIG_FILE ${_pkg}/windows/cpack_generators.cmake)
else()
  # The executable lives in a folder of its own, /usr/lib/nimbra-bridge, because
  # its GLOBAL profile is read beside it (the directory of /proc/self/exe, so
  # links to it are followed). That profile is a link to the configuration
  # file /etc/nimbra-bridge/Velk_Throttle_Config.json, which the administrator
  # edits and which an upgrade keeps; the settings file Nimbra_Bridge.ini the
  # same way. nimbra-unit lives beside the bridge too, so that it reads the
  # same settings, with a link in /usr/bin.
  set(_libdir lib/nimbra-bridge)
  set(_docdir share/doc/nimbra-bridge)
  set(_links ${CMAKE_CURRENT_BINARY_DIR}/packaging/links)
  file(MAKE_DIRECTORY ${_links})
  file(CREATE_LINK ../lib/nimbra-bridge/Nimbra_Bridge ${_links}/nimbra-bridge SYMBOLIC)
  # Relative, so that it also holds in a staging folder (DESTDIR).
  file(CREATE_LINK ../../../etc/nimbra-bridge/Velk_Throttle_Config.json ${_links}/Velk_Throttle_Config.json SYMBOLIC)
  file(CREATE_LINK ../../../etc/nimbra-bridge/Nimbra_Bridge.ini ${_links}/Nimbra_Bridge.ini SYMBOLIC)
  file(CREATE_LINK ../lib/nimbra-bridge/nimbra-unit ${_links}/nimbra-unit SYMBOLIC)

  install(TARGETS Nimbra_Bridge nimbra-unit RUNTIME DESTINATION ${_libdir} COMPONENT product)
  install(FILES ${_links}/Velk_Throttle_Config.json ${_links}/Nimbra_Bridge.ini DESTINATION ${_libdir} COMPONENT product)
  install(FILES ${_sample} ${_settings} DESTINATION /etc/nimbra-bridge COMPONENT product)
  install(TARGETS ${_product_tools} RUNTIME DESTINATION bin COMPONENT product)
  install(FILES ${_links}/nimbra-bridge ${_links}/nimbra-unit DESTINATION bin COMPONENT product)
  install(FILES ${_pkg}/nimbra-bridge.service DESTINATION lib/systemd/user COMPONENT product)
  install(FILES ${_pkg}/70-nimbra-velk-throttle.rules DESTINATION lib/udev/rules.d COMPONENT product)
  install(FILES ${_pkg}/debian/README docs/profiles.md docs/connection.md docs/unit.md docs/profile.schema.json
          DESTINATION ${_docdir} COMPONENT product)
  install(FILES ${_pkg}/debian/SimConnect.cfg ${_sample} DESTINATION ${_docdir}/examples COMPONENT product)
  install(FILES ${_catalogue_notice} DESTINATION ${_docdir} RENAME catalogue-NOTICE COMPONENT product)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_PACKAGE_NAME nimbra-bridge)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Nimbra Bridge developers")
  # libc6, libstdc++6, libgcc-s1 and libhidapi-hidraw0 with their versions,
  # from the linked libraries (dpkg-shlibdeps, package dpkg-dev); by name
  # when that tool is missing.
  find_program(NIMBRA_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NIMBRA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libhidapi-hidraw0")
  endif()
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_pkg}/debian/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_STRIP_FILES ON)
endif()

set(CPACK_PACKAGE_NAME Nimbra_Bridge)
set(CPACK_PACKAGE_VENDOR "Nimbra Bridge")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Lights the LEDs of the Velk_Throttle USB unit from Microsoft Flight Simulator")
set(CPACK_PACKAGE_DESCRIPTION
    "Nimbra Bridge runs in the background, connects to the simulator, adds a menu\nto its add-on menu and switches the unit's LEDs from the simulation variables\nthat a JSON profile names.")
set(CPACK_COMPONENTS_ALL product)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)
