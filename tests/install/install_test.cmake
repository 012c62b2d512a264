# Installs the build tree into a fresh prefix, checks what landed there, builds the consumer
# against it through the CMake package and through pkg-config, and runs both and the
# installed gantrix command.
# -D: BUILD_DIR WORK_DIR CONSUMER_DIR LIBDIR BINDIR INCLUDEDIR C_COMPILER GENERATOR FLAGS
cmake_minimum_required(VERSION 3.25)
set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")

function(run)  # run(COMMAND ...) fails the test unless the command succeeds; output in run_output
  execute_process(${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}\nexited ${status}:\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_paris what)
  if(NOT run_output MATCHES "^{\"code\":\"fr\\.[a-z0-9]+\"")
    message(FATAL_ERROR "${what}: unexpected answer: ${run_output}")
  endif()
endfunction()

run(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(file "${INCLUDEDIR}/gantrix.h" "${BINDIR}/gantrix" "${LIBDIR}/libgantrix.so.0.1.0"
             "${LIBDIR}/pkgconfig/gantrix.pc" "${LIBDIR}/cmake/Gantrix/GantrixConfig.cmake"
             "${LIBDIR}/cmake/Gantrix/GantrixConfigVersion.cmake")
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(link libgantrix.so libgantrix.so.0)
  if(NOT IS_SYMLINK "${prefix}/${LIBDIR}/${link}")
    message(FATAL_ERROR "${link} is not a symbolic link")
  endif()
endforeach()

# The CMake package; the imported target brings the include path.
run(COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/cmake" -G "${GENERATOR}"
            "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_C_FLAGS=${FLAGS}")
run(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/cmake")
run(COMMAND "${WORK_DIR}/cmake/consumer")
expect_paris("CMake package consumer")

# pkg-config, as a Makefile would use it.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
run(COMMAND "${PKG_CONFIG}" --cflags --libs gantrix)
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
separate_arguments(flags UNIX_COMMAND "${FLAGS}")
run(COMMAND "${C_COMPILER}" ${flags} "${CONSUMER_DIR}/consumer.c" ${pc_flags} -o "${WORK_DIR}/consumer-pc")
set(ENV{LD_LIBRARY_PATH} "${prefix}/${LIBDIR}")
run(COMMAND "${WORK_DIR}/consumer-pc")
expect_paris("pkg-config consumer")

# The installed command finds the installed library by itself.
unset(ENV{LD_LIBRARY_PATH})
run(COMMAND "${prefix}/${BINDIR}/gantrix" find 48.8566 2.3522)
expect_paris("installed gantrix")
