# Per-generator settings, read by cpack: the installer holds the product as
# one piece (its own template knows no components), under its own file name.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_COMPONENTS_ALL "")
  set(CPACK_MONOLITHIC_INSTALL ON)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
