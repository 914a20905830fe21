# Checks the resource-script fragment that the build generates for Vandrel's "BINARY" resources.
#   cmake -DGENERATOR=<GenerateBinaryResources.cmake> -DWORK=<scratch dir> -P binary_resources_test.cmake
cmake_minimum_required(VERSION 3.25)

set(failures 0)
function(expect_contains fragment needle what)
  string(FIND "${fragment}" "${needle}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "${what}: \"${needle}\" not in\n${fragment}")
  endif()
endfunction()
function(expect_missing fragment needle what)
  string(FIND "${fragment}" "${needle}" at)
  if(NOT at EQUAL -1)
    message(SEND_ERROR "${what}: \"${needle}\" unexpected in\n${fragment}")
  endif()
endfunction()

# Runs the generator on the given settings and returns the fragment.
function(generate out_var firmware vid message_text)
  file(MAKE_DIRECTORY "${WORK}")
  file(WRITE "${WORK}/settings.cmake"
    "set(VANDREL_FIRMWARE [==[${firmware}]==])\n"
    "set(VANDREL_VID [==[${vid}]==])\n"
    "set(VANDREL_PID [==[0326]==])\n"
    "set(VANDREL_MESSAGE_TEXT [==[${message_text}]==])\n"
    "set(VANDREL_TITLE_TEXT [==[Title]==])\n"
    "set(VANDREL_UPDATE_TEXT [==[Update Target]==])\n"
    "set(VANDREL_EXIT_TEXT [==[Exit]==])\n"
    "set(VANDREL_GROUP_TEXT [==[]==])\n")
  file(REMOVE "${WORK}/fragment.rc")
  execute_process(COMMAND ${CMAKE_COMMAND} -DCONFIG=${WORK}/settings.cmake
                          -DOUTPUT=${WORK}/fragment.rc -P ${GENERATOR}
                  RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(SEND_ERROR "the generator failed: ${errors}")
  endif()
  file(READ "${WORK}/fragment.rc" fragment)
  set(${out_var} "${fragment}" PARENT_SCOPE)
endfunction()

# The shipped settings: every text as 16-bit units with one zero unit at the end.
file(WRITE "${WORK}/image.bin" "x")
generate(shipped "${WORK}/image.bin" "5C3B" "Message")
expect_contains("${shipped}" "IDR_FIRMWARE BINARY \"${WORK}/image.bin\"" "image by file")
expect_contains("${shipped}" "IDR_DEFAULT_VID BINARY\nBEGIN\n    0x35, 0x43, 0x33, 0x42, 0x0\nEND" "VID units")
expect_contains("${shipped}" "IDR_DEFAULT_PID BINARY\nBEGIN\n    0x30, 0x33, 0x32, 0x36, 0x0\nEND" "PID units")
expect_contains("${shipped}" "IDR_TITLE_TEXT BINARY\nBEGIN\n    0x54, 0x69, 0x74, 0x6c, 0x65, 0x0\nEND" "title units")
# An empty text is its terminator alone.
expect_contains("${shipped}" "IDR_GROUP_TEXT BINARY\nBEGIN\n    0x0\nEND" "empty group text")
foreach(id IDR_MESSAGE_TEXT IDR_UPDATE_TEXT IDR_EXIT_TEXT)
  expect_contains("${shipped}" "${id} BINARY" "resource ${id}")
endforeach()

# Non-ASCII text: two- and three-byte UTF-8 become one unit, four bytes a surrogate pair; a line
# feed becomes CR LF, an existing CR LF stays as it is.
generate(wide "${WORK}/image.bin" "5c3b" "é€😀\na\r\nb")
expect_contains("${wide}" "0xe9, 0x20ac, 0xd83d, 0xde00, 0xd, 0xa, 0x61, 0xd, 0xa, 0x62, 0x0" "UTF-16 units")
expect_contains("${wide}" "0x35, 0x63, 0x33, 0x62, 0x0" "lower-case VID kept")

# An empty image file leaves the resource out, which the program reads as size 0.
file(WRITE "${WORK}/empty.bin" "")
generate(empty "${WORK}/empty.bin" "5C3B" "Message")
expect_missing("${empty}" "IDR_FIRMWARE BINARY" "empty image")
expect_missing("${shipped}" "#define VANDREL_FIRMWARE" "raw image: no package details")

# An image from a package: the package step's version, identifiers and signer become definitions
# for the version resource; a value that could break out of its quotes fails the generator.
function(generate_from_package out_var result_var version)
  file(WRITE "${WORK}/package.cmake"
    "set(VANDREL_FIRMWARE_VERSION [==[${version}]==])\n"
    "set(VANDREL_FIRMWARE_IDS [==[application 5C3B:0326, boot loader 5C3B:030B]==])\n"
    "set(VANDREL_FIRMWARE_KEY_ID [==[1573F66A23B769CF]==])\n")
  file(APPEND "${WORK}/settings.cmake" "set(VANDREL_PACKAGE_INFO [==[${WORK}/package.cmake]==])\n")
  file(REMOVE "${WORK}/fragment.rc")
  execute_process(COMMAND ${CMAKE_COMMAND} -DCONFIG=${WORK}/settings.cmake
                          -DOUTPUT=${WORK}/fragment.rc -P ${GENERATOR}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  set(fragment "")
  if(EXISTS "${WORK}/fragment.rc")
    file(READ "${WORK}/fragment.rc" fragment)
  endif()
  set(${out_var} "${fragment}" PARENT_SCOPE)
  set(${result_var} "${result}" PARENT_SCOPE)
endfunction()
generate(ignored "${WORK}/image.bin" "5C3B" "Message")
generate_from_package(packaged result "1.02")
expect_contains("${packaged}" "#define VANDREL_FIRMWARE_VERSION_TEXT \"1.02\"\n" "version")
expect_contains("${packaged}"
  "#define VANDREL_FIRMWARE_IDS_TEXT \"application 5C3B:0326, boot loader 5C3B:030B\"\n" "ids")
expect_contains("${packaged}" "#define VANDREL_FIRMWARE_KEY_ID_TEXT \"1573F66A23B769CF\"\n" "key")
generate(ignored "${WORK}/image.bin" "5C3B" "Message")
generate_from_package(broken result "1.02\"")
if(result EQUAL 0 OR NOT broken STREQUAL "")
  message(SEND_ERROR "a quote in the package's version was written into the resource script")
endif()
