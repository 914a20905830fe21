# Runs the built tool once and checks its exit code and output.
# -DTOOL=... -DEMULATOR=... -DEXPECTED_EXIT=N -DPATTERN=regex -DARGS=a;b;c
execute_process(
  COMMAND ${EMULATOR} ${TOOL} ${ARGS}
  RESULT_VARIABLE exit_code
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
set(all "${out}${err}")
string(REPLACE "\r" "" all "${all}")
string(REPLACE "\n" " " flat "${all}")
message(STATUS "tolvane ${ARGS}\n${all}")
if(NOT exit_code STREQUAL EXPECTED_EXIT)
  message(FATAL_ERROR "exit code ${exit_code}, expected ${EXPECTED_EXIT}")
endif()
if(NOT flat MATCHES "${PATTERN}")
  message(FATAL_ERROR "output does not match: ${PATTERN}")
endif()
