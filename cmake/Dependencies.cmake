# Dependency lookup for both builds. RapidJSON and Asio are header-only; on the
# Windows cross build only their folders go on the include path (never all of
# /usr/include), through a staging folder of links.
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
  target_link_libraries(nimbra_deps INTERFACE ws2_32 mswsock shlwapi shell32 advapi32 user32 kernel32)

  # hidapi's Windows back end, compiled from the source that scripts/setup fetched.
  set(_hid ${CMAKE_SOURCE_DIR}/third_party/hidapi)
  if(NOT EXISTS ${_hid}/windows/hid.c)
    message(FATAL_ERROR "hidapi source missing: run scripts/setup")
  endif()
  add_library(nimbra_hidapi STATIC ${_hid}/windows/hid.c)
  target_include_directories(nimbra_hidapi SYSTEM PUBLIC ${_hid}/hidapi ${_hid}/windows)
  target_compile_options(nimbra_hidapi PRIVATE -w)
  target_link_libraries(nimbra_hidapi PUBLIC setupapi)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)
  add_library(nimbra_hidapi INTERFACE)
  target_link_libraries(nimbra_hidapi INTERFACE PkgConfig::HIDAPI)
endif()

# GoogleTest: the system package on Linux, built from /usr/src/googletest for Windows.
if(NIMBRA_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
