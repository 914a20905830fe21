# Whether this build's test programs can run on the build machine: natively always; when
# cross-compiling for Windows, under Wine (cmake/wine-run.sh). On these machines 32-bit Wine runs
# only through qemu-user (scripts/enable-wine32.sh sets it up), where each process needs minutes
# to start and Wine's own 32-bit HID code has faulted under emulation; so the x86 tests under
# Wine run only when asked for with TOLVANE_WINE32_TESTS=ON. Otherwise they are not registered
# and one skipped test says so.
option(TOLVANE_WINE32_TESTS "Run the x86 test programs under 32-bit Wine (qemu-user; slow)" OFF)
set(TOLVANE_TESTS_RUNNABLE ON)
if(CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(skip_reason "")
  if(NOT TOLVANE_WINE32_TESTS)
    set(skip_reason "32-bit Wine runs only under qemu-user here, minutes per process (TOLVANE_WINE32_TESTS=ON runs them)")
  else()
    execute_process(COMMAND /usr/lib/wine/wine --version
      RESULT_VARIABLE wine32_result OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
    if(NOT wine32_result EQUAL 0)
      set(skip_reason "32-bit Wine cannot start here (see scripts/enable-wine32.sh)")
    endif()
  endif()
  if(NOT skip_reason STREQUAL "")
    set(TOLVANE_TESTS_RUNNABLE OFF)
    set(skip_line "SKIP: x86 tests under Wine not run: ${skip_reason}")
    message(NOTICE "${skip_line}")
    add_test(NAME x86_tests_under_wine32 COMMAND ${CMAKE_COMMAND} -E echo "${skip_line}")
    set_tests_properties(x86_tests_under_wine32 PROPERTIES SKIP_REGULAR_EXPRESSION "SKIP:")
  endif()
endif()

# Under Wine, the prefix is prepared by a test of its own before the others: on a fresh machine
# that builds the prefix template, which takes minutes.
if(CMAKE_CROSSCOMPILING AND TOLVANE_TESTS_RUNNABLE AND CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME wine_prefix COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --prepare)
  set_tests_properties(wine_prefix PROPERTIES TIMEOUT 1800 FIXTURES_SETUP wine_prefix)
endif()

# Registers a test that runs a program of this build (under the emulator when cross-compiling),
# if such programs can run here. A test under Wine gets a time limit so that it never hangs.
function(tolvane_register_test name program)
  if(NOT TOLVANE_TESTS_RUNNABLE)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${program} ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES TIMEOUT 900 FIXTURES_REQUIRED wine_prefix)
  endif()
endfunction()
