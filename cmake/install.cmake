# Installation: the shared library with its SONAME links, the public headers (C, the generated
# version macros, C++ and the refusal wording it includes), a CMake package
# (find_package(Gantrix) gives Gantrix::gantrix) and a pkg-config file, all carrying the
# version from VERSION; the data licences go to the documentation directory. The gantrix
# command installs itself from tools/cli. `cpack -G DEB` in a build tree packs the same files
# for /usr.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(GANTRIX_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/Gantrix")

set_target_properties(gantrix PROPERTIES PUBLIC_HEADER
    "include/gantrix.h;${PROJECT_BINARY_DIR}/include/gantrix_version.h;include/gantrix.hpp;include/gantrix_arguments.hpp")
install(TARGETS gantrix EXPORT GantrixTargets
        LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
        PUBLIC_HEADER DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
        INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")  # the imported target's include path
install(EXPORT GantrixTargets NAMESPACE Gantrix:: DESTINATION "${GANTRIX_INSTALL_CMAKEDIR}")

file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/install/GantrixConfig.cmake" @ONLY
     CONTENT "include(\"\${CMAKE_CURRENT_LIST_DIR}/GantrixTargets.cmake\")\n")
# The SONAME carries the major version, so a package is compatible within one major version.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/install/GantrixConfigVersion.cmake"
                                 COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/install/GantrixConfig.cmake"
              "${PROJECT_BINARY_DIR}/install/GantrixConfigVersion.cmake"
        DESTINATION "${GANTRIX_INSTALL_CMAKEDIR}")

# The prefix is found relative to the .pc file, so `cmake --install --prefix` anywhere works.
file(RELATIVE_PATH _gx_pc_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" _gx_pc_to_prefix "${_gx_pc_to_prefix}")
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/install/gantrix.pc" @ONLY CONTENT [=[
prefix=${pcfiledir}/@_gx_pc_to_prefix@
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@CMAKE_INSTALL_INCLUDEDIR@

Name: gantrix
Description: @PROJECT_DESCRIPTION@
Version: @PROJECT_VERSION@
Libs: -L${libdir} -lgantrix
Cflags: -I${includedir}
]=])
install(FILES "${PROJECT_BINARY_DIR}/install/gantrix.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

# The compiled-in data carry licences that travel with every copy of the library.
install(FILES "${PROJECT_SOURCE_DIR}/NOTICE" "${PROJECT_SOURCE_DIR}/datasets/README.md"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# The Debian package: one package with the library, the headers, the CMake and pkg-config
# files and the command, for /usr. Its ldconfig trigger refreshes the linker's cache once per
# dpkg run that installs or removes it, so programs find libgantrix.so.0 with no
# LD_LIBRARY_PATH; the shlibs file lets other packages depend on the soname.
set(CPACK_PACKAGE_NAME gantrix)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION} library (C and C++) with compiled-in datasets")
set(CPACK_PACKAGE_CONTACT "Gantrix developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the dependencies (libc6, libstdc++6) from the binaries
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# CPack would call ldconfig from postinst and postrm; Debian asks library packages to use the
# trigger instead, so the scripts are ours, and empty.
set(_gx_deb "${PROJECT_BINARY_DIR}/deb")
file(WRITE "${_gx_deb}/triggers" "activate-noawait ldconfig\n")
foreach(_gx_script postinst postrm)
  file(WRITE "${_gx_deb}/${_gx_script}"
       "#!/bin/sh\n# The linker's cache is refreshed by the ldconfig trigger (see triggers).\nset -e\n")
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${_gx_deb}/triggers;${_gx_deb}/postinst;${_gx_deb}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
if(PROJECT_IS_TOP_LEVEL)  # not when another project builds the library within its own
  include(CPack)
endif()
