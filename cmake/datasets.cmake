# Compiles the two dataset files into the library as read-only byte arrays (.incbin), so the
# library opens no file at run time and rebuilds whenever a dataset changes.
set(GANTRIX_DATASETS_SOURCE "${PROJECT_BINARY_DIR}/generated/datasets.S")
configure_file("${PROJECT_SOURCE_DIR}/data/datasets.S.in" "${GANTRIX_DATASETS_SOURCE}" @ONLY)
set_source_files_properties("${GANTRIX_DATASETS_SOURCE}" PROPERTIES
    OBJECT_DEPENDS "${GANTRIX_AIRPORTS_FILE};${GANTRIX_COUNTRIES_FILE}")
