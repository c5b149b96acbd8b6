# Build-time inputs of the resource script: the script archive (RCDATA 103), the localised strings
# (RCDATA 101) and settings (RCDATA 102), the manifest, the icon and the version block.
set(QV_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
file(MAKE_DIRECTORY "${QV_GENERATED_DIR}")

# Script archive: every scripts/*.lua at the top level of a zip.
file(GLOB QV_SCRIPT_FILES CONFIGURE_DEPENDS RELATIVE "${CMAKE_SOURCE_DIR}/scripts" "${CMAKE_SOURCE_DIR}/scripts/*.lua")
set(QV_SCRIPTS_ZIP "${QV_GENERATED_DIR}/scripts.zip")
if(QV_SCRIPT_FILES)
  list(TRANSFORM QV_SCRIPT_FILES PREPEND "${CMAKE_SOURCE_DIR}/scripts/" OUTPUT_VARIABLE QV_SCRIPT_PATHS)
  add_custom_command(OUTPUT "${QV_SCRIPTS_ZIP}"
    COMMAND ${CMAKE_COMMAND} -E rm -f "${QV_SCRIPTS_ZIP}"
    COMMAND ${CMAKE_COMMAND} -E tar cf "${QV_SCRIPTS_ZIP}" --format=zip ${QV_SCRIPT_FILES}
    WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}/scripts"
    DEPENDS ${QV_SCRIPT_PATHS}
    COMMENT "Packing the uninstall scripts" VERBATIM)
else()
  # No scripts yet: an empty archive (end-of-central-directory record only).
  add_custom_command(OUTPUT "${QV_SCRIPTS_ZIP}"
    COMMAND python3 -c "import zipfile,sys; zipfile.ZipFile(sys.argv[1], 'w').close()" "${QV_SCRIPTS_ZIP}"
    COMMENT "Packing an empty script archive" VERBATIM)
endif()

# Localised strings and settings.
# STAND-IN until the localised texts land: fixed minimal blobs.
set(QV_STRINGS_BIN "${QV_GENERATED_DIR}/strings.bin")
set(QV_SETTINGS_BIN "${QV_GENERATED_DIR}/settings.bin")
add_custom_command(OUTPUT "${QV_STRINGS_BIN}" "${QV_SETTINGS_BIN}"
  COMMAND ${CMAKE_COMMAND} -E echo_append "en" > "${QV_STRINGS_BIN}"
  COMMAND ${CMAKE_COMMAND} -E echo_append "en" > "${QV_SETTINGS_BIN}"
  COMMENT "Generating the localised resources")

set(QV_MANIFEST "${CMAKE_SOURCE_DIR}/resources/UninstallationTool.manifest")
set(QV_ICON "${CMAKE_SOURCE_DIR}/resources/UninstallationTool.ico")
set(QV_RESOURCE_RC "${QV_GENERATED_DIR}/UninstallationTool.rc")
configure_file("${CMAKE_SOURCE_DIR}/resources/UninstallationTool.rc.in" "${QV_RESOURCE_RC}" @ONLY)
set_source_files_properties("${QV_RESOURCE_RC}" PROPERTIES
  OBJECT_DEPENDS "${QV_SCRIPTS_ZIP};${QV_STRINGS_BIN};${QV_SETTINGS_BIN};${QV_MANIFEST};${QV_ICON}")
