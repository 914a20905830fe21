# Whether this build's test programs can run on the build machine: natively always; when
# cross-compiling for Windows, under Wine (cmake/wine-run.sh). 32-bit Wine starts on these
# machines only once scripts/enable-wine32.sh has set it up; without it the x86 tests under Wine
# are not registered and one skipped test says so.
set(TOLVANE_TESTS_RUNNABLE ON)
if(CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  execute_process(COMMAND /usr/lib/wine/wine --version
    RESULT_VARIABLE wine32_result OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
  if(NOT wine32_result EQUAL 0)
    set(TOLVANE_TESTS_RUNNABLE OFF)
    set(skip_line "SKIP: 32-bit Wine cannot start here (see scripts/enable-wine32.sh): x86 tests under Wine not run")
    message(NOTICE "${skip_line}")
    add_test(NAME x86_tests_under_wine32 COMMAND ${CMAKE_COMMAND} -E echo "${skip_line}")
    set_tests_properties(x86_tests_under_wine32 PROPERTIES SKIP_REGULAR_EXPRESSION "SKIP:")
  endif()
endif()

# Registers a test that runs a program of this build (under the emulator when cross-compiling),
# if such programs can run here. A test under Wine gets a time limit so that it never hangs.
function(tolvane_register_test name program)
  if(NOT TOLVANE_TESTS_RUNNABLE)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${program} ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  endif()
endfunction()
