# Builds the text of `gantrix --version` from the dataset pipeline's provenance record, at
# configure time, so the binary carries it and opens no file. Every field is optional: a
# missing one drops its line instead of failing the build.
set(GANTRIX_PROVENANCE_FILE "${PROJECT_SOURCE_DIR}/datasets/provenance.json" CACHE FILEPATH
    "Provenance of the compiled-in datasets, shown by gantrix --version")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${GANTRIX_PROVENANCE_FILE}")

set(_gx_text "")
# The provenance record describes the pipeline's files (either airport table, either outline
# file): a custom one is described by the summary the State image's build writes (counts and
# hash) alone.
set(_gx_pipeline_files "${PROJECT_SOURCE_DIR}/datasets/airports.json"
    "${PROJECT_SOURCE_DIR}/datasets/airports-all.json" "${PROJECT_SOURCE_DIR}/datasets/countries.geojson"
    "${PROJECT_SOURCE_DIR}/datasets/countries-natural-earth.geojson")
if(GANTRIX_AIRPORTS_FILE IN_LIST _gx_pipeline_files AND
   GANTRIX_COUNTRIES_FILE IN_LIST _gx_pipeline_files AND
   EXISTS "${GANTRIX_PROVENANCE_FILE}")
  file(READ "${GANTRIX_PROVENANCE_FILE}" _gx_text)
endif()

function(_gx_field out)
  string(JSON _value ERROR_VARIABLE _error GET "${_gx_text}" ${ARGN})
  if(_error)
    set(_value "")
  endif()
  set(${out} "${_value}" PARENT_SCOPE)
endfunction()

set(_gx_lines "gantrix ${PROJECT_VERSION}")
_gx_field(_date date)
# The airport table compiled in: its counts and what it holds.
set(_gx_table airports)
if(GANTRIX_AIRPORTS_FILE STREQUAL "${PROJECT_SOURCE_DIR}/datasets/airports-all.json")
  set(_gx_table airports_all)
endif()
_gx_field(_airports ${_gx_table} count)
_gx_field(_airport_countries ${_gx_table} countries)
_gx_field(_airport_what ${_gx_table} what)
_gx_field(_outlines countries outlined)
_gx_field(_ne_edition natural_earth edition)
_gx_field(_ne_scale natural_earth scale)
if(_date)
  list(APPEND _gx_lines "data of ${_date}")
else()
  list(APPEND _gx_lines "data of unknown provenance")
endif()
if(_airports)
  list(APPEND _gx_lines "  ${_airports} airports in ${_airport_countries} countries")
endif()
if(_airport_what AND _gx_table STREQUAL "airports_all")
  list(APPEND _gx_lines "  airport table all: ${_airport_what}")
elseif(_airport_what)
  list(APPEND _gx_lines "  airport table scheduled: ${_airport_what} (codes of other airports are not found: build with -DGANTRIX_AIRPORTS=all for every airport)")
endif()
if(GANTRIX_COUNTRIES_FILE STREQUAL "${PROJECT_SOURCE_DIR}/datasets/countries-natural-earth.geojson")
  _gx_field(_outlines countries_natural_earth outlined)
  if(_outlines)
    list(APPEND _gx_lines "  ${_outlines} country outlines (Natural Earth ${_ne_edition}, ${_ne_scale}, public domain)")
  endif()
else()
  _gx_field(_credit outlines credit)
  if(_outlines)
    list(APPEND _gx_lines "  ${_outlines} country outlines (OpenStreetMap land borders)")
  endif()
  if(_credit)
    list(APPEND _gx_lines "  country outlines ${_credit}, available under the Open Database License (ODbL) 1.0")
  endif()
endif()

string(JSON _source_count ERROR_VARIABLE _error LENGTH "${_gx_text}" sources)
if(NOT _error AND _source_count GREATER 0)
  list(APPEND _gx_lines "sources:")
  math(EXPR _last "${_source_count} - 1")
  foreach(_i RANGE ${_last})
    string(JSON _name MEMBER "${_gx_text}" sources ${_i})
    _gx_field(_version sources "${_name}" version)
    _gx_field(_license sources "${_name}" license)
    _gx_field(_use sources "${_name}" use)
    list(APPEND _gx_lines "  ${_name} ${_version} (${_license}): ${_use}")
  endforeach()
endif()

# One C++ string literal: escape what the JSON values may contain.
list(JOIN _gx_lines "\n" _gx_version)
string(REPLACE "\\" "\\\\" _gx_version "${_gx_version}")
string(REPLACE "\"" "\\\"" _gx_version "${_gx_version}")
string(REPLACE "\n" "\\n" GANTRIX_CLI_VERSION_TEXT "${_gx_version}")
configure_file("${CMAKE_CURRENT_SOURCE_DIR}/version.h.in"
               "${CMAKE_CURRENT_BINARY_DIR}/generated/version.h" @ONLY)
