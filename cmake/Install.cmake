# What `cmake --install` puts under the prefix; debian/ makes the Debian packages of it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

get_target_property(IAASSL_VERSION iaassl VERSION)
set(IAASSL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/iaassl)

install(TARGETS machine_fingerprint RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS iaassl iaassl_b EXPORT iaasslTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ssl/include/iaassl.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS iaassl_locate iaassl_simulate RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS tools/plot/iaassl_plot.py RENAME iaassl_plot DESTINATION ${CMAKE_INSTALL_BINDIR})

# pkg-config files that find their prefix from where they lie, so the tree can move.
file(RELATIVE_PATH IAASSL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" IAASSL_PC_TO_PREFIX "${IAASSL_PC_TO_PREFIX}")
foreach(pair "iaassl;4" "iaassl_b;2")
  list(GET pair 0 IAASSL_PC_NAME)
  list(GET pair 1 IAASSL_PC_MICS)
  configure_file(packaging/iaassl.pc.in ${PROJECT_BINARY_DIR}/packaging/${IAASSL_PC_NAME}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${IAASSL_PC_NAME}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

install(EXPORT iaasslTargets NAMESPACE iaassl:: DESTINATION ${IAASSL_CMAKE_DIR})
configure_package_config_file(packaging/iaasslConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/iaasslConfig.cmake INSTALL_DESTINATION ${IAASSL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/iaasslConfigVersion.cmake
  VERSION ${IAASSL_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/iaasslConfig.cmake
              ${PROJECT_BINARY_DIR}/packaging/iaasslConfigVersion.cmake
        DESTINATION ${IAASSL_CMAKE_DIR})

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
