# Installation: the shared library with its SONAME links, the public header, a CMake package
# (find_package(Gantrix) gives Gantrix::gantrix) and a pkg-config file. The gantrix command
# installs itself from tools/cli.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(GANTRIX_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/Gantrix")

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
