# Builds and runs a small C program against each installed library twice: found by pkg-config,
# and found by find_package. Inputs: either BUILD_DIR (a build, installed first into a fresh
# prefix) or PREFIX (an installed tree, such as unpacked packages); WORK_DIR, C_COMPILER,
# SOURCE_DIR, EXTRA_FLAGS (may be empty), EMULATOR (the command that runs a cross-built
# program; empty on the host).
cmake_minimum_required(VERSION 3.18)
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")

include(${CMAKE_CURRENT_LIST_DIR}/must.cmake)

function(expect_broadside program)
  must(${emulator} ${program})
  if(NOT output MATCHES "consumer: code 0 angle 0\n")
    message(FATAL_ERROR "${program} printed:\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
if(PREFIX)
  set(prefix "${PREFIX}")
else()
  set(prefix "${WORK_DIR}/prefix")
  must(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
endif()
file(GLOB_RECURSE pc_files "${prefix}/*.pc")
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 2)
  message(FATAL_ERROR "expected iaassl.pc and iaassl_b.pc, found: ${pc_files}")
endif()
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)

foreach(pair "iaassl;4" "iaassl_b;2")
  list(GET pair 0 library)
  list(GET pair 1 mics)

  set(pkg ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} pkg-config)
  must(${pkg} --cflags --libs ${library})
  separate_arguments(flags UNIX_COMMAND "${output}")
  must(${pkg} --variable=libdir ${library})
  string(STRIP "${output}" libdir)
  set(program "${WORK_DIR}/pkgconfig_${library}")
  must(${C_COMPILER} ${extra} -DMICS=${mics} "${SOURCE_DIR}/consumer.c" ${flags}
       -Wl,-rpath,${libdir} -o "${program}")
  expect_broadside("${program}")

  set(build "${WORK_DIR}/cmake_${library}")
  must(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${build}" -DCMAKE_PREFIX_PATH=${prefix}
       -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_C_FLAGS=${EXTRA_FLAGS}"
       -DLIBRARY=${library} -DMICS=${mics})
  must(${CMAKE_COMMAND} --build "${build}")
  expect_broadside("${build}/consumer")
endforeach()
