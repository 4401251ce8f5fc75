# Makes the Debian packages with CPack and checks that each holds its files and names the
# packages it needs. Inputs: BUILD_DIR, WORK_DIR.
cmake_minimum_required(VERSION 3.18)

include(${CMAKE_CURRENT_LIST_DIR}/must.cmake)

# Fails unless text holds every WANT pattern and no SHUN pattern, each between before and after.
function(expect_in text before after label)
  cmake_parse_arguments(PARSE_ARGV 4 arg "" "" "WANT;SHUN")
  foreach(pattern IN LISTS arg_WANT)
    if(NOT text MATCHES "${before}${pattern}${after}")
      message(FATAL_ERROR "${label} lacks ${pattern}:\n${text}")
    endif()
  endforeach()
  foreach(pattern IN LISTS arg_SHUN)
    if(text MATCHES "${before}${pattern}${after}")
      message(FATAL_ERROR "${label} must not hold ${pattern}:\n${text}")
    endif()
  endforeach()
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
  expect_in("${contents}" "" "(\n| ->)" "${package}" WANT ${want_FILES} SHUN ${want_NOT_FILES})
  must(dpkg-deb --field "${deb}" Depends)
  expect_in("${output}" "(^|[ ,])" "([ ,(]|\n|$)" "${package} Depends"
            WANT ${want_DEPENDS} SHUN ${want_NOT_DEPENDS})
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
  DEPENDS libiaassl1 python3-matplotlib libsndfile1 libasound2)
