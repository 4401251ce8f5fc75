# The shared library exports exactly the eleven entry points and needs no C++ runtime.
set(EXPECTED IaaSsl_Cal_Params IaaSsl_Config IaaSsl_Free IaaSsl_GetBufferSize IaaSsl_Get_Config
    IaaSsl_Get_Direction IaaSsl_Init IaaSsl_Reset IaaSsl_Reset_Mapping IaaSsl_Run
    IaaSsl_Set_Shape)

execute_process(COMMAND readelf -d --wide ${LIBRARY} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${LIBRARY}")
endif()
foreach(runtime libstdc\\+\\+ libgcc_s)
  if(dynamic MATCHES "NEEDED[^\n]*${runtime}")
    message(FATAL_ERROR "${LIBRARY} needs ${runtime}:\n${dynamic}")
  endif()
endforeach()
if(NOT dynamic MATCHES "SONAME[^\n]*\\[${SONAME}\\]")
  message(FATAL_ERROR "${LIBRARY} lacks SONAME ${SONAME}:\n${dynamic}")
endif()

execute_process(COMMAND nm -D --defined-only --format=posix ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "(^|\n)[^ \n]+ [TtDdBbRrVvWwi]" entries "${symbols}")
set(exported)
foreach(entry ${entries})
  string(REGEX REPLACE "^\n?([^ ]+) .*" "\\1" name "${entry}")
  list(APPEND exported ${name})
endforeach()
list(SORT exported)
if(NOT exported STREQUAL EXPECTED)
  message(FATAL_ERROR "${LIBRARY} exports ${exported}, expected ${EXPECTED}")
endif()
