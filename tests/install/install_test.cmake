# The installed tree as users get it, one STEP at a time (the steps after "install" use the
# prefix it leaves in WORK_DIR/prefix):
#   install    cmake --install into a fresh prefix; checks what landed there
#   versions   every copy of the version agrees with the file VERSION
#   consumers  C and C++ programs built through the CMake package and through pkg-config,
#              run against the prefix, and the installed gantrix command
#   readme     the README's C and C++ examples, built and run: they print what they say
# -D: STEP SOURCE_DIR BUILD_DIR WORK_DIR LIBDIR BINDIR INCLUDEDIR DOCDIR C_COMPILER CXX_COMPILER
#     GENERATOR FLAGS
cmake_minimum_required(VERSION 3.25)
set(prefix "${WORK_DIR}/prefix")
set(consumer_dir "${SOURCE_DIR}/tests/install/consumer")
file(STRINGS "${SOURCE_DIR}/VERSION" version LIMIT_COUNT 1)
separate_arguments(flags UNIX_COMMAND "${FLAGS}")

function(run)  # run(COMMAND ...) fails the test unless the command succeeds; output in run_output
  execute_process(${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}\nexited ${status}:\n${out}${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# The compiler flags pkg-config gives, and an rpath to the prefix's library directory: a
# program linked against a prefix outside the system's search needs one (or LD_LIBRARY_PATH).
function(pkg_config_flags out)
  find_program(PKG_CONFIG pkg-config REQUIRED)
  set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
  run(COMMAND "${PKG_CONFIG}" --cflags --libs gantrix)
  separate_arguments(pc UNIX_COMMAND "${run_output}")
  run(COMMAND "${PKG_CONFIG}" --variable=libdir gantrix)
  string(STRIP "${run_output}" libdir)
  set(${out} ${pc} "-Wl,-rpath,${libdir}" PARENT_SCOPE)
endfunction()

if(STEP STREQUAL "install")
  file(REMOVE_RECURSE "${WORK_DIR}")
  run(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
  foreach(file "${INCLUDEDIR}/gantrix.h" "${INCLUDEDIR}/gantrix_version.h"
               "${INCLUDEDIR}/gantrix.hpp" "${INCLUDEDIR}/gantrix_arguments.hpp"
               "${BINDIR}/gantrix" "${LIBDIR}/libgantrix.so.${version}"
               "${LIBDIR}/pkgconfig/gantrix.pc" "${LIBDIR}/cmake/Gantrix/GantrixConfig.cmake"
               "${LIBDIR}/cmake/Gantrix/GantrixConfigVersion.cmake"
               "${DOCDIR}/NOTICE" "${DOCDIR}/README.md")
    if(NOT EXISTS "${prefix}/${file}")
      message(FATAL_ERROR "not installed: ${file}")
    endif()
  endforeach()
  foreach(link libgantrix.so libgantrix.so.0)
    if(NOT IS_SYMLINK "${prefix}/${LIBDIR}/${link}")
      message(FATAL_ERROR "${link} is not a symbolic link")
    endif()
  endforeach()

elseif(STEP STREQUAL "versions")
  # name;value pairs, every value to equal VERSION.
  set(copies "")
  file(READ "${prefix}/${INCLUDEDIR}/gantrix_version.h" header)
  string(REGEX MATCH "#define GANTRIX_VERSION \"([^\"]*)\"" _ "${header}")
  list(APPEND copies "GANTRIX_VERSION in gantrix_version.h" "${CMAKE_MATCH_1}")
  foreach(part MAJOR MINOR PATCH)
    string(REGEX MATCH "#define GANTRIX_VERSION_${part} ([0-9]+)" _ "${header}")
    list(APPEND numbers "${CMAKE_MATCH_1}")
  endforeach()
  list(JOIN numbers "." numbers)
  list(APPEND copies "GANTRIX_VERSION_MAJOR.MINOR.PATCH" "${numbers}")
  file(STRINGS "${prefix}/${LIBDIR}/pkgconfig/gantrix.pc" pc REGEX "^Version: ")
  string(REPLACE "Version: " "" pc "${pc}")
  list(APPEND copies "gantrix.pc" "${pc}")
  file(STRINGS "${prefix}/${LIBDIR}/cmake/Gantrix/GantrixConfigVersion.cmake" config
       REGEX "^set\\(PACKAGE_VERSION \"")
  string(REGEX REPLACE "^set\\(PACKAGE_VERSION \"([^\"]*)\"\\)$" "\\1" config "${config}")
  list(APPEND copies "GantrixConfigVersion.cmake" "${config}")
  run(COMMAND "${prefix}/${BINDIR}/gantrix" --version)
  string(REGEX MATCH "^[^\n]*" first_line "${run_output}")
  list(APPEND copies "gantrix --version" "${first_line}")
  set(expected_line "gantrix ${version}")
  # The bindings' packages, where they still write a version of their own (they may read
  # VERSION instead, and then have no copy to check).
  set(pyproject "${SOURCE_DIR}/bindings/python/pyproject.toml")
  if(EXISTS "${pyproject}")
    file(STRINGS "${pyproject}" line REGEX "^version *= *\"")
    if(line MATCHES "\"([^\"]*)\"")
      list(APPEND copies "bindings/python/pyproject.toml" "${CMAKE_MATCH_1}")
    endif()
  endif()
  file(GLOB package_jsons "${SOURCE_DIR}/bindings/*/package.json")
  foreach(package_json IN LISTS package_jsons)
    file(READ "${package_json}" json)
    string(JSON package_version ERROR_VARIABLE no_version GET "${json}" version)
    if(NOT no_version)
      file(RELATIVE_PATH name "${SOURCE_DIR}" "${package_json}")
      list(APPEND copies "${name}" "${package_version}")
    endif()
  endforeach()
  set(wrong "")
  while(copies)
    list(POP_FRONT copies name value)
    set(want "${version}")
    if(name STREQUAL "gantrix --version")
      set(want "${expected_line}")
    endif()
    if(NOT value STREQUAL want)
      string(APPEND wrong "\n  ${name}: '${value}', not '${want}'")
    endif()
  endwhile()
  if(wrong)
    message(FATAL_ERROR "the version in VERSION is ${version}, but:${wrong}")
  endif()
  message(STATUS "every copy of the version says ${version}")

elseif(STEP STREQUAL "consumers")
  # Through the CMake package, asking for exactly VERSION; CMake gives the programs an rpath.
  run(COMMAND "${CMAKE_COMMAND}" -S "${consumer_dir}" -B "${WORK_DIR}/cmake" -G "${GENERATOR}"
              "-DCMAKE_PREFIX_PATH=${prefix}" "-DGANTRIX_WANT=${version}"
              "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
              "-DCMAKE_C_FLAGS=${FLAGS}" "-DCMAKE_CXX_FLAGS=${FLAGS}")
  run(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/cmake")
  set(programs "${WORK_DIR}/cmake/consumer" "${WORK_DIR}/cmake/consumer_cpp")
  # Through pkg-config, as a Makefile would.
  pkg_config_flags(pc)
  run(COMMAND "${C_COMPILER}" ${flags} "${consumer_dir}/consumer.c" ${pc} -lm -o "${WORK_DIR}/consumer-pc")
  run(COMMAND "${CXX_COMPILER}" -std=c++17 ${flags} "${consumer_dir}/consumer.cpp" ${pc}
              -o "${WORK_DIR}/consumer-pc-cpp")
  list(APPEND programs "${WORK_DIR}/consumer-pc" "${WORK_DIR}/consumer-pc-cpp")
  foreach(program IN LISTS programs)
    run(COMMAND "${program}")
    if(NOT run_output MATCHES "^GANTRIX_VERSION ${version}")
      message(FATAL_ERROR "${program} was built against another version:\n${run_output}")
    endif()
  endforeach()
  # The installed command finds the installed library by itself (its rpath is relative).
  run(COMMAND "${prefix}/${BINDIR}/gantrix" find 48.8566 2.3522)
  if(NOT run_output MATCHES "^{\"code\":\"fr\\.")
    message(FATAL_ERROR "installed gantrix: unexpected answer: ${run_output}")
  endif()

elseif(STEP STREQUAL "readme")
  # Each example is the README's fenced block that includes the header; what it prints is
  # written as the comments on its printing lines, in order.
  file(READ "${SOURCE_DIR}/README.md" readme)
  pkg_config_flags(pc)
  foreach(lang c cpp)
    if(NOT readme MATCHES "```${lang}\n(#include[^`]*gantrix\\.hp?p?[^`]*)```")
      message(FATAL_ERROR "README.md: no ```${lang} example that includes the gantrix header")
    endif()
    set(source "${CMAKE_MATCH_1}")
    # Line by line without CMake lists, which would split on ";" and bracket on "[".
    set(expected "")
    set(rest "${source}")
    while(NOT rest STREQUAL "")
      string(FIND "${rest}" "\n" end)
      if(end EQUAL -1)
        string(LENGTH "${rest}" end)
      endif()
      string(SUBSTRING "${rest}" 0 ${end} line)
      math(EXPR end "${end} + 1")
      string(SUBSTRING "${rest}" ${end} -1 rest)
      if(line MATCHES "(puts|printf|std::cout).*(/\\* (.*) \\*/|// (.*))$")
        string(APPEND expected "${CMAKE_MATCH_3}${CMAKE_MATCH_4}\n")
      endif()
    endwhile()
    if(expected STREQUAL "")
      message(FATAL_ERROR "README.md: the ${lang} example says nothing of what it prints")
    endif()
    file(WRITE "${WORK_DIR}/readme/example.${lang}" "${source}")
    if(lang STREQUAL "c")
      run(COMMAND "${C_COMPILER}" ${flags} "${WORK_DIR}/readme/example.c" ${pc} -o "${WORK_DIR}/readme/example-c")
    else()
      run(COMMAND "${CXX_COMPILER}" -std=c++17 ${flags} "${WORK_DIR}/readme/example.cpp" ${pc}
                  -o "${WORK_DIR}/readme/example-cpp")
    endif()
    run(COMMAND "${WORK_DIR}/readme/example-${lang}")
    if(NOT run_output STREQUAL expected)
      message(FATAL_ERROR "README.md's ${lang} example prints\n${run_output}but its comments say\n${expected}")
    endif()
  endforeach()
else()
  message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
