# Builds the variable catalogue into the checker: writes a C++ source that
# holds the text of simvars.csv, units.csv and their NOTICE. Run at build
# time with -DSIMVARS= -DUNITS= -DNOTICE= -DOUTPUT=. A missing or unreadable
# file stops the build: a checker with an empty catalogue would call every
# name unknown.
set(_delimiter "nimbra_catalogue")
set(_body "// Generated from the files of tools/nimbra-profile/catalogue by embed_catalogue.cmake; do not edit.\n")
string(APPEND _body "#include \"catalogue_data.h\"\n\nnamespace nimbra_profile {\n\n")
foreach(_pair "kSimvarsCsv;${SIMVARS}" "kUnitsCsv;${UNITS}" "kCatalogueNotice;${NOTICE}")
  list(GET _pair 0 _name)
  list(GET _pair 1 _file)
  if(NOT _file OR NOT EXISTS "${_file}" OR IS_DIRECTORY "${_file}")
    message(FATAL_ERROR "variable catalogue: missing file '${_file}' (needed for ${_name})")
  endif()
  file(READ "${_file}" _text)
  if(_text STREQUAL "")
    message(FATAL_ERROR "variable catalogue: empty file '${_file}'")
  endif()
  string(FIND "${_text}" ")${_delimiter}\"" _clash)
  if(NOT _clash EQUAL -1)
    message(FATAL_ERROR "variable catalogue: '${_file}' holds the literal's delimiter")
  endif()
  string(APPEND _body "extern const char ${_name}[] = R\"${_delimiter}(${_text})${_delimiter}\";\n")
endforeach()
string(APPEND _body "\n}  // namespace nimbra_profile\n")
file(WRITE "${OUTPUT}.tmp" "${_body}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
