# The tool's folders, lowest first. Each folder is one library; a file in it includes other folders'
# headers by path ("update/engine_command.h") and may name only the folders listed for it, so no
# lower folder reaches up into a higher one. The build exposes nothing else to a folder, and
# cmake/CheckCliLayers.cmake checks every source against this table (also the ones one system does
# not compile). Each list holds every folder below it that may be used, not only the direct ones.
set(TOLVANE_CLI_LAYERS output system image versions options buses packages report recording update
    line tool)
set(TOLVANE_CLI_USES_output "")
set(TOLVANE_CLI_USES_system output)
set(TOLVANE_CLI_USES_image output system)
set(TOLVANE_CLI_USES_versions output)
set(TOLVANE_CLI_USES_options output system image versions)
set(TOLVANE_CLI_USES_buses output system)
set(TOLVANE_CLI_USES_packages output system image versions options)
set(TOLVANE_CLI_USES_report output)
set(TOLVANE_CLI_USES_recording output system image versions options)
set(TOLVANE_CLI_USES_update output system image versions options buses packages)
set(TOLVANE_CLI_USES_line output system image versions options buses packages report update)
set(TOLVANE_CLI_USES_tool output system image versions options buses packages report recording
    update line)
