# Compiles the two dataset files into the library as read-only byte arrays (.incbin), so the
# library opens no file at run time and rebuilds whenever a dataset changes.
# GANTRIX_AIRPORTS=all swaps the default airport table for every IATA airport; a file of one's
# own given as GANTRIX_AIRPORTS_FILE is kept.
if(GANTRIX_AIRPORTS STREQUAL "all")
  if(GANTRIX_AIRPORTS_FILE STREQUAL "${PROJECT_SOURCE_DIR}/data/airports.json")
    set(GANTRIX_AIRPORTS_FILE "${PROJECT_SOURCE_DIR}/data/airports-all.json")
  endif()
elseif(NOT GANTRIX_AIRPORTS STREQUAL "scheduled")
  message(FATAL_ERROR "GANTRIX_AIRPORTS is '${GANTRIX_AIRPORTS}'; use scheduled or all")
endif()
set(GANTRIX_DATASETS_SOURCE "${PROJECT_BINARY_DIR}/generated/datasets.S")
configure_file("${PROJECT_SOURCE_DIR}/data/datasets.S.in" "${GANTRIX_DATASETS_SOURCE}" @ONLY)
set_source_files_properties("${GANTRIX_DATASETS_SOURCE}" PROPERTIES
    OBJECT_DEPENDS "${GANTRIX_AIRPORTS_FILE};${GANTRIX_COUNTRIES_FILE}")
