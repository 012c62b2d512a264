# The datasets reach the library as the State's image: gantrix-image (built from the library's
# own loaders) reads the two dataset files at build time and writes the image, which the
# library compiles in as read-only bytes (.incbin). A dataset the loaders refuse fails the
# build here. The image is rebuilt whenever a dataset or the tool changes.
#
# The texts themselves are compiled into the build-time library only (gantrix_builder), for
# the tests, benchmarks and fuzzers that build States from them.
set(GANTRIX_STATE_IMAGE "${PROJECT_BINARY_DIR}/generated/state.img")
set(GANTRIX_DATASET_SUMMARY "${PROJECT_BINARY_DIR}/generated/dataset_summary.h")
# GANTRIX_AIRPORTS=all swaps the default airport table for every IATA airport; a file of one's
# own given as GANTRIX_AIRPORTS_FILE is kept.
if(GANTRIX_AIRPORTS STREQUAL "all")
  if(GANTRIX_AIRPORTS_FILE STREQUAL "${PROJECT_SOURCE_DIR}/datasets/airports.json")
    set(GANTRIX_AIRPORTS_FILE "${PROJECT_SOURCE_DIR}/datasets/airports-all.json")
  endif()
elseif(NOT GANTRIX_AIRPORTS STREQUAL "scheduled")
  message(FATAL_ERROR "GANTRIX_AIRPORTS is '${GANTRIX_AIRPORTS}'; use scheduled or all")
endif()
set(GANTRIX_DATASETS_SOURCE "${PROJECT_BINARY_DIR}/generated/datasets.S")
set(GANTRIX_TEXTS_SOURCE "${PROJECT_BINARY_DIR}/generated/dataset_texts.S")
configure_file("${PROJECT_SOURCE_DIR}/src/state/compiled_state.S.in" "${GANTRIX_DATASETS_SOURCE}" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/src/builder/dataset_texts.S.in" "${GANTRIX_TEXTS_SOURCE}" @ONLY)

add_custom_command(
    OUTPUT "${GANTRIX_STATE_IMAGE}" "${GANTRIX_DATASET_SUMMARY}"
    COMMAND gantrix-image "${GANTRIX_AIRPORTS_FILE}" "${GANTRIX_COUNTRIES_FILE}"
            "${GANTRIX_STATE_IMAGE}" "${GANTRIX_DATASET_SUMMARY}"
    DEPENDS gantrix-image "${GANTRIX_AIRPORTS_FILE}" "${GANTRIX_COUNTRIES_FILE}"
    COMMENT "Building the State image from the datasets"
    VERBATIM)
add_custom_target(gantrix_state_image DEPENDS "${GANTRIX_STATE_IMAGE}" "${GANTRIX_DATASET_SUMMARY}")
set_source_files_properties("${GANTRIX_DATASETS_SOURCE}" PROPERTIES
    OBJECT_DEPENDS "${GANTRIX_STATE_IMAGE}")
set_source_files_properties("${GANTRIX_TEXTS_SOURCE}" PROPERTIES
    OBJECT_DEPENDS "${GANTRIX_AIRPORTS_FILE};${GANTRIX_COUNTRIES_FILE}")
