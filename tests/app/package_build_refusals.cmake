# Builds the package step of each row of tests/app/CMakeLists.txt and checks its outcome: the
# accepted package gives the image and its settings; every other fails the build with its check
# named, and leaves no image behind.
#   cmake -DBUILD_DIR=<build tree> -DROWS_FILE=<rows> -DOUTPUT_ROOT=<rows' output> -P ...
cmake_minimum_required(VERSION 3.25)
include("${ROWS_FILE}")

set(failed 0)
foreach(name IN LISTS ROWS)
  set(expected "${expected_${name}}")
  # A row runs its step again each time: its earlier outputs go first.
  file(REMOVE_RECURSE "${OUTPUT_ROOT}/${name}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} --build "${BUILD_DIR}" --target vandrel_refusal_${name}_package
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "\n" " " said "${out}${err}")
  set(image "${OUTPUT_ROOT}/${name}/firmware.bin")
  if(expected STREQUAL "")
    if(NOT result EQUAL 0 OR NOT EXISTS "${image}" OR NOT EXISTS "${OUTPUT_ROOT}/${name}/package.cmake")
      message(SEND_ERROR "${name}: the package was not accepted (${result}): ${said}")
      math(EXPR failed "${failed} + 1")
    endif()
  elseif(result EQUAL 0 OR EXISTS "${image}" OR NOT said MATCHES "error: Vandrel package [^ ]*: [^\n]*${expected}")
    message(SEND_ERROR "${name}: expected the build to fail with \"${expected}\"; "
                       "result ${result}, image left: ${image}: ${said}")
    math(EXPR failed "${failed} + 1")
  else()
    string(REGEX MATCH "error: Vandrel package [^ ]*: [^\n]*" line "${out}${err}")
    message(STATUS "${name}: ${line}")
  endif()
endforeach()
list(LENGTH ROWS count)
math(EXPR passed "${count} - ${failed}")
message(STATUS "${passed} passed, ${failed} failed")
