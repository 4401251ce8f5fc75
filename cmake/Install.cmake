# What `cmake --install` puts under the prefix, and the Debian packages CPack makes of it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

get_target_property(IAASSL_VERSION iaassl VERSION)
set(IAASSL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/iaassl)

install(TARGETS machine_fingerprint RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT fingerprint)
install(TARGETS iaassl iaassl_b EXPORT iaasslTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ssl/include/iaassl.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(TARGETS iaassl_locate iaassl_simulate RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(PROGRAMS tools/plot/iaassl_plot.py RENAME iaassl_plot DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT tools)

# pkg-config files that find their prefix from where they lie, so the tree can move.
file(RELATIVE_PATH IAASSL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" IAASSL_PC_TO_PREFIX "${IAASSL_PC_TO_PREFIX}")
foreach(pair "iaassl;4" "iaassl_b;2")
  list(GET pair 0 IAASSL_PC_NAME)
  list(GET pair 1 IAASSL_PC_MICS)
  configure_file(packaging/iaassl.pc.in ${PROJECT_BINARY_DIR}/packaging/${IAASSL_PC_NAME}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${IAASSL_PC_NAME}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()

install(EXPORT iaasslTargets NAMESPACE iaassl:: DESTINATION ${IAASSL_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(packaging/iaasslConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/iaasslConfig.cmake INSTALL_DESTINATION ${IAASSL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/iaasslConfigVersion.cmake
  VERSION ${IAASSL_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/iaasslConfig.cmake
              ${PROJECT_BINARY_DIR}/packaging/iaasslConfigVersion.cmake
        DESTINATION ${IAASSL_CMAKE_DIR} COMPONENT dev)

set(install_test_flags "")
if(SANITIZE)
  # A sanitized library needs its runtime loaded first, by the program that uses it.
  set(install_test_flags "-fsanitize=address,undefined")
endif()
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " install_test_emulator)
add_test(NAME install_tree_consumers
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                 -DWORK_DIR=${PROJECT_BINARY_DIR}/install-test
                 -DC_COMPILER=${CMAKE_C_COMPILER} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}/packaging/tests
                 -DEXTRA_FLAGS=${install_test_flags} -DEMULATOR=${install_test_emulator}
                 -P ${PROJECT_SOURCE_DIR}/packaging/tests/install_test.cmake)
set_tests_properties(install_tree_consumers PROPERTIES TIMEOUT 300)
if(NOT SANITIZE)
  add_test(NAME debian_packages
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DWORK_DIR=${PROJECT_BINARY_DIR}/package-test
                   -P ${PROJECT_SOURCE_DIR}/packaging/tests/package_test.cmake)
  set_tests_properties(debian_packages PROPERTIES TIMEOUT 300)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME iaassl)
set(CPACK_PACKAGE_VERSION ${IAASSL_VERSION})
set(CPACK_PACKAGE_CONTACT "Camera-and-audio device team <device-team@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Device fingerprint and sound source localisation")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(CMAKE_CROSSCOMPILING)
  # Left alone, CPack labels the packages with the build machine's architecture.
  execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENTS_ALL fingerprint runtime dev tools)
set(CPACK_DEBIAN_FINGERPRINT_PACKAGE_NAME machine-fingerprint)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libiaassl1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libiaassl-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME iaassl-tools)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
# The tools load the libraries at run time, which the shared-library scan cannot see.
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "python3-matplotlib")
set(CPACK_COMPONENT_FINGERPRINT_DESCRIPTION "Prints the machine's fingerprint")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "Sound source localisation libraries for 4 and 2 microphones")
set(CPACK_COMPONENT_DEV_DESCRIPTION "Header, pkg-config and CMake files of the localisation libraries")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "Locate a recording, simulate an array scene, plot the track")
include(CPack)
