# Links a C caller built for the MSVC target against the import library with an MSVC-style
# linker, as an integrator's Visual Studio project would, and checks what the program imports:
#   cmake -DCLANG=... -DLLD_LINK=... -DREADOBJ=... -DTRIPLE=i686-pc-windows-msvc -DSAFESEH=ON
#         -DSOURCE=msvc_caller.c -DINCLUDE_DIR=... -DIMPORT_LIB=Tolvane.lib -DWORK_DIR=...
#         -P msvc_link_check.cmake
# With SAFESEH the linker must accept every member of the import library as safe for /SAFESEH,
# as the x86 project templates demand. The program must import exactly the six plain names
# from Tolvane.dll.
file(MAKE_DIRECTORY ${WORK_DIR})
set(object ${WORK_DIR}/msvc_caller.obj)
set(program ${WORK_DIR}/msvc_caller.exe)
file(REMOVE ${object} ${program})

execute_process(
  COMMAND ${CLANG} --target=${TRIPLE} -ffreestanding -O1 -c ${SOURCE} -I ${INCLUDE_DIR}
    -o ${object}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "compiling the caller for ${TRIPLE} failed:\n${out}")
endif()

set(link_options /nologo /nodefaultlib /entry:entry /subsystem:console)
if(SAFESEH)
  list(APPEND link_options /safeseh)
endif()
execute_process(
  COMMAND ${LLD_LINK} ${link_options} ${object} ${IMPORT_LIB} /out:${program}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lld-link ${link_options} against ${IMPORT_LIB} failed:\n${out}")
endif()
message(STATUS "linked with: ${link_options}")

execute_process(COMMAND ${READOBJ} --coff-imports ${program}
  RESULT_VARIABLE rc OUTPUT_VARIABLE imports ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "llvm-readobj --coff-imports failed:\n${err}")
endif()
string(REGEX MATCHALL "Name: [^\n]+" dlls "${imports}")
if(NOT dlls STREQUAL "Name: Tolvane.dll")
  message(FATAL_ERROR "imports from '${dlls}', expected only Tolvane.dll")
endif()
string(REGEX MATCHALL "Symbol: [^ \n]+" symbols "${imports}")
list(TRANSFORM symbols REPLACE "^Symbol: " "")
list(SORT symbols)
set(wanted DFU_Deinitialize DFU_Download DFU_GetPercentage DFU_Initialize DFU_ResetToAP DFU_ResetToISP)
if(NOT symbols STREQUAL wanted)
  message(FATAL_ERROR "imported names '${symbols}', expected exactly '${wanted}'")
endif()
message(STATUS "imports from Tolvane.dll: ${symbols}")

# No member of the import library may be named after a build folder.
execute_process(COMMAND ${LLVM_AR} t ${IMPORT_LIB} OUTPUT_VARIABLE members RESULT_VARIABLE rc)
string(REGEX REPLACE "\n$" "" members "${members}")
string(REPLACE "\n" ";" members "${members}")
foreach(member IN LISTS members)
  if(NOT member STREQUAL "Tolvane.dll")
    message(FATAL_ERROR "import library member '${member}' is not named after the DLL")
  endif()
endforeach()
