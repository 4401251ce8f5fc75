# Makes the Debian packages with CPack and checks that each holds its files and names the
# packages it needs. Inputs: BUILD_DIR, WORK_DIR.
cmake_minimum_required(VERSION 3.18)

function(must)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# package: the package name; FILES: path endings it must list; DEPENDS: package names (patterns,
# so a library soname bump needs no edit) its Depends must list;
# NOT_FILES: path endings that belong to another package; NOT_DEPENDS: packages it must not need.
function(expect_package package)
  cmake_parse_arguments(PARSE_ARGV 1 want "" "" "FILES;DEPENDS;NOT_FILES;NOT_DEPENDS")
  file(GLOB deb "${WORK_DIR}/${package}_*.deb")
  list(LENGTH deb found)
  if(NOT found EQUAL 1)
    message(FATAL_ERROR "expected one ${package} package in ${WORK_DIR}, found: ${deb}")
  endif()
  must(dpkg-deb --contents "${deb}")
  set(contents "${output}")
  foreach(path IN LISTS want_FILES)
    if(NOT contents MATCHES "${path}(\n| ->)")
      message(FATAL_ERROR "${package} lacks ${path}:\n${contents}")
    endif()
  endforeach()
  foreach(path IN LISTS want_NOT_FILES)
    if(contents MATCHES "${path}(\n| ->)")
      message(FATAL_ERROR "${package} holds ${path}, which belongs elsewhere:\n${contents}")
    endif()
  endforeach()
  must(dpkg-deb --field "${deb}" Depends)
  foreach(word IN LISTS want_DEPENDS)
    if(NOT output MATCHES "(^|[ ,])${word}([ ,(]|\n|$)")
      message(FATAL_ERROR "${package} Depends lacks ${word}: ${output}")
    endif()
  endforeach()
  foreach(word IN LISTS want_NOT_DEPENDS)
    if(output MATCHES "(^|[ ,])${word}([ ,(]|\n|$)")
      message(FATAL_ERROR "${package} must not depend on ${word}: ${output}")
    endif()
  endforeach()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
must(cpack -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}")

expect_package(machine-fingerprint
  FILES /usr/bin/machine_fingerprint
  DEPENDS libc6 libspdlog[0-9a-z.-]+ libfmt[0-9]+)
expect_package(libiaassl1
  FILES /libiaassl\\.so\\.1 /libiaassl_b\\.so\\.1
  DEPENDS libc6 libkissfft-float[0-9]+
  NOT_FILES /iaassl\\.h /libiaassl\\.so
  NOT_DEPENDS libstdc\\+\\+6 libgcc-s1)
expect_package(libiaassl-dev
  FILES /usr/include/iaassl\\.h /pkgconfig/iaassl\\.pc /pkgconfig/iaassl_b\\.pc
        /cmake/iaassl/iaasslConfig\\.cmake /libiaassl\\.so /libiaassl_b\\.so
  DEPENDS libiaassl1
  NOT_FILES /libiaassl\\.so\\.1\\.0\\.0)
expect_package(iaassl-tools
  FILES /usr/bin/iaassl_locate /usr/bin/iaassl_simulate /usr/bin/iaassl_plot
  DEPENDS libiaassl1 python3-matplotlib libsndfile1)
