# Whether this build's test programs can run on the build machine: natively always; when
# cross-compiling for Windows, under Wine (cmake/wine-run.sh). For the x86 build,
# scripts/wine32-mode.sh decides by measurement: where the kernel executes 32-bit code, 32-bit
# Wine runs natively and the whole suite is registered, as in the x64 build; where it does not,
# 32-bit Wine would run only under qemu-user (minutes per process), so the tests are registered
# only when asked for (ON), and otherwise one skipped test says why.
set(wine32_old_help "Run the x86 test programs under 32-bit Wine (qemu-user; slow)")
get_property(wine32_help CACHE TOLVANE_WINE32_TESTS PROPERTY HELPSTRING)
if(wine32_help STREQUAL wine32_old_help AND NOT TOLVANE_WINE32_TESTS)
  # A build folder from before the measured choice: its OFF was the old default, not a choice.
  unset(TOLVANE_WINE32_TESTS CACHE)
endif()
set(TOLVANE_WINE32_TESTS AUTO CACHE STRING
  "x86 tests under 32-bit Wine: AUTO (where the kernel runs 32-bit code itself), ON (always, also under qemu-user), OFF")
set_property(CACHE TOLVANE_WINE32_TESTS PROPERTY STRINGS AUTO ON OFF)
set(TOLVANE_TESTS_RUNNABLE ON)
if(CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(skip_reason "")
  if(NOT TOLVANE_WINE32_TESTS)
    set(skip_reason "turned off (TOLVANE_WINE32_TESTS=OFF)")
  else()
    set(mode_args decide)
    if(NOT TOLVANE_WINE32_TESTS STREQUAL "AUTO")  # forced on: qemu-user counts too
      list(APPEND mode_args --qemu)
    endif()
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/wine32-mode.sh ${mode_args}
      OUTPUT_VARIABLE wine32_mode OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET TIMEOUT 60)
    if(NOT wine32_mode MATCHES "^(native|qemu)$")
      string(REGEX REPLACE "^skip: " "" wine32_why "${wine32_mode}")
      if(wine32_why STREQUAL "")
        set(wine32_why "scripts/wine32-mode.sh gave no answer")
      endif()
      if(TOLVANE_WINE32_TESTS STREQUAL "AUTO")
        set(skip_reason "${wine32_why}")
      else()
        message(NOTICE "NOTE: x86 tests registered as asked, although ${wine32_why}\n")
      endif()
    endif()
  endif()
  if(NOT skip_reason STREQUAL "")
    set(TOLVANE_TESTS_RUNNABLE OFF)
    set(skip_line "SKIP: x86 tests under Wine not run: ${skip_reason}")
    # One write, newline included, so the line stays whole in a log shared with standard output.
    message(NOTICE "${skip_line}\n")
    add_test(NAME x86_tests_under_wine32 COMMAND ${CMAKE_COMMAND} -E echo "${skip_line}")
    set_tests_properties(x86_tests_under_wine32 PROPERTIES SKIP_REGULAR_EXPRESSION "SKIP:")
  endif()
endif()

# The decision itself, on a stand-in machine (host build only: it needs bash and no Wine).
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME wine32_mode_decision
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/scripts/wine32_mode_test.sh
            ${PROJECT_SOURCE_DIR}/scripts/wine32-mode.sh)
endif()

# Under Wine, the prefix is prepared by a test of its own before the others: on a fresh machine
# that builds the prefix template, which takes minutes.
if(CMAKE_CROSSCOMPILING AND TOLVANE_TESTS_RUNNABLE AND CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME wine_prefix COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --prepare)
  set_tests_properties(wine_prefix PROPERTIES TIMEOUT 1800 FIXTURES_SETUP wine_prefix)
endif()

# Registers a test that runs a program of this build (under the emulator when cross-compiling),
# if such programs can run here. A test under Wine gets a time limit so that it never hangs. The
# test programs share the build's Wine prefix, and with it one Wine server and its named objects,
# so they run one at a time (the GUI scenarios, each in a prefix of its own, run beside them).
function(tolvane_register_test name program)
  if(NOT TOLVANE_TESTS_RUNNABLE)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${program} ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES TIMEOUT 900 FIXTURES_REQUIRED wine_prefix
      RESOURCE_LOCK wine_shared_prefix)
  endif()
endfunction()
