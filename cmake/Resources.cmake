# Build-time inputs of the resource script: the script archive (RCDATA 103), the localised strings
# (RCDATA 101) and settings (RCDATA 102), the manifest, the icon and the version block.
set(QV_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
file(MAKE_DIRECTORY "${QV_GENERATED_DIR}")

# Script archive: every scripts/*.lua at the top level of a zip.
include(${CMAKE_CURRENT_LIST_DIR}/ScriptArchive.cmake)
set(QV_SCRIPTS_ZIP "${QV_GENERATED_DIR}/scripts.zip")
qv_script_archive("${QV_SCRIPTS_ZIP}" "${CMAKE_SOURCE_DIR}/scripts" GLOB "*.lua" "the uninstall scripts")

# Localised strings and settings, generated from one readable file per language; the generator
# also checks that every language is complete and translated, and fails the build otherwise.
file(GLOB QV_STRING_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/strings/*.txt")
set(QV_STRINGS_BIN "${QV_GENERATED_DIR}/strings.bin")
set(QV_SETTINGS_BIN "${QV_GENERATED_DIR}/settings.bin")
set(QV_LUA_HEADER "${QV_THIRD_PARTY_DIR}/lua5.3/src/lua.h")
set(QV_ZLIB_HEADER "${QV_THIRD_PARTY_DIR}/zlib/zlib.h")
add_custom_command(OUTPUT "${QV_STRINGS_BIN}" "${QV_SETTINGS_BIN}"
  COMMAND python3 "${CMAKE_SOURCE_DIR}/tools/make-resources"
    --sources "${CMAKE_SOURCE_DIR}/resources/strings"
    --lua-header "${QV_LUA_HEADER}" --zlib-header "${QV_ZLIB_HEADER}"
    --strings-out "${QV_STRINGS_BIN}" --settings-out "${QV_SETTINGS_BIN}"
  DEPENDS ${QV_STRING_SOURCES} "${CMAKE_SOURCE_DIR}/tools/make-resources" "${QV_LUA_HEADER}" "${QV_ZLIB_HEADER}"
  COMMENT "Generating the localised resources" VERBATIM)

set(QV_MANIFEST "${CMAKE_SOURCE_DIR}/resources/UninstallationTool.manifest")
set(QV_ICON "${CMAKE_SOURCE_DIR}/resources/UninstallationTool.ico")
set(QV_RESOURCE_RC "${QV_GENERATED_DIR}/UninstallationTool.rc")
configure_file("${CMAKE_SOURCE_DIR}/resources/UninstallationTool.rc.in" "${QV_RESOURCE_RC}" @ONLY)
set_source_files_properties("${QV_RESOURCE_RC}" PROPERTIES
  OBJECT_DEPENDS "${QV_SCRIPTS_ZIP};${QV_STRINGS_BIN};${QV_SETTINGS_BIN};${QV_MANIFEST};${QV_ICON}")
