# Dependency lookup for both builds. RapidJSON and Asio are header-only; on the
# Windows cross build only their folders go on the include path (never all of
# /usr/include), through a staging folder of links.
# hidapi comes in two targets: nimbra_hidapi_headers for the bridge's library,
# which sees only the header, and nimbra_hidapi, the real library that the
# executable links (test programs link virtual_unit in its place).
# pugixml, the XML library of the exe.xml tool, is nimbra_pugixml: Debian's
# package on Linux, its source (fetched like hidapi's) for Windows.
find_package(Threads REQUIRED)

add_library(nimbra_deps INTERFACE)
target_compile_definitions(nimbra_deps INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
target_link_libraries(nimbra_deps INTERFACE Threads::Threads)

if(CMAKE_CROSSCOMPILING)
  set(_stage ${CMAKE_BINARY_DIR}/staged_include)
  file(MAKE_DIRECTORY ${_stage})
  foreach(_item asio asio.hpp rapidjson)
    if(NOT EXISTS ${_stage}/${_item})
      file(CREATE_LINK /usr/include/${_item} ${_stage}/${_item} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(nimbra_deps SYSTEM INTERFACE ${_stage})
  target_compile_definitions(nimbra_deps INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_link_libraries(nimbra_deps INTERFACE ws2_32 mswsock shlwapi shell32 advapi32 user32 kernel32)

  # hidapi's Windows back end, compiled from the source that scripts/setup fetched.
  set(_hid ${CMAKE_SOURCE_DIR}/third_party/hidapi)
  if(NOT EXISTS ${_hid}/windows/hid.c)
    message(FATAL_ERROR "hidapi source missing: run scripts/setup")
  endif()
  add_library(nimbra_hidapi_headers INTERFACE)
  target_include_directories(nimbra_hidapi_headers SYSTEM INTERFACE ${_hid}/hidapi ${_hid}/windows)
  add_library(nimbra_hidapi STATIC ${_hid}/windows/hid.c)
  target_link_libraries(nimbra_hidapi PUBLIC nimbra_hidapi_headers)
  target_compile_options(nimbra_hidapi PRIVATE -w)
  target_link_libraries(nimbra_hidapi PUBLIC setupapi)

  # pugixml (exe.xml), compiled from the Debian source that scripts/setup fetched.
  set(_pugi ${CMAKE_SOURCE_DIR}/third_party/pugixml)
  if(NOT EXISTS ${_pugi}/pugixml.cpp)
    message(FATAL_ERROR "pugixml source missing: run scripts/setup")
  endif()
  add_library(nimbra_pugixml STATIC ${_pugi}/pugixml.cpp)
  target_include_directories(nimbra_pugixml SYSTEM PUBLIC ${_pugi})
  target_compile_options(nimbra_pugixml PRIVATE -w)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)
  add_library(nimbra_hidapi_headers INTERFACE)
  target_include_directories(nimbra_hidapi_headers SYSTEM INTERFACE ${HIDAPI_INCLUDE_DIRS})
  add_library(nimbra_hidapi INTERFACE)
  target_link_libraries(nimbra_hidapi INTERFACE PkgConfig::HIDAPI)

  # pugixml (exe.xml): the Debian package libpugixml-dev.
  find_package(pugixml REQUIRED)
  add_library(nimbra_pugixml INTERFACE)
  if(TARGET pugixml::static)
    target_link_libraries(nimbra_pugixml INTERFACE pugixml::static)  # no run-time dependency
  else()
    target_link_libraries(nimbra_pugixml INTERFACE pugixml::pugixml)
  endif()
endif()

# GoogleTest: the system package on Linux, built from /usr/src/googletest for Windows.
if(NIMBRA_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(_lib gtest gtest_main gmock)
      if(NOT TARGET GTest::${_lib})
        add_library(GTest::${_lib} ALIAS ${_lib})
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
