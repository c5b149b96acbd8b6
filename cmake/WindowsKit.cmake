# The Windows validation kit: the runner qvkit.exe (its frame in tests/kit, the scenarios in
# tests/kit/scenarios), the kit's script archive (tests/kit/scripts) and build/windows-kit.zip, which
# carries them with the tool, every unit suite and helper program, a Windows Sandbox file and the
# how-to. Included after Tests.cmake, whose unit suites and helpers it packs.
set(QV_KIT_SOURCE_DIR "${CMAKE_SOURCE_DIR}/tests/kit")
set(QV_KIT_BINARY_DIR "${CMAKE_BINARY_DIR}/kit")
file(MAKE_DIRECTORY "${QV_KIT_BINARY_DIR}")

# The frame without its entry point, also linked into the unit suite that tests it (tests/unit/kit).
file(GLOB QV_KIT_FRAME_SOURCES CONFIGURE_DEPENDS "${QV_KIT_SOURCE_DIR}/*.cpp")
list(REMOVE_ITEM QV_KIT_FRAME_SOURCES "${QV_KIT_SOURCE_DIR}/Qvkit.cpp")
add_library(qv_kit_frame STATIC ${QV_KIT_FRAME_SOURCES})
target_link_libraries(qv_kit_frame PUBLIC qvcore)
if(TARGET kit_tests)
  target_link_libraries(kit_tests PRIVATE qv_kit_frame)
endif()

set(QV_KIT_MANIFEST "${QV_KIT_SOURCE_DIR}/qvkit.manifest")
set(QV_KIT_RC "${QV_KIT_BINARY_DIR}/qvkit.rc")
configure_file("${QV_KIT_SOURCE_DIR}/qvkit.rc.in" "${QV_KIT_RC}" @ONLY)
set_source_files_properties("${QV_KIT_RC}" PROPERTIES OBJECT_DEPENDS "${QV_KIT_MANIFEST}")
file(GLOB QV_KIT_SCENARIO_SOURCES CONFIGURE_DEPENDS "${QV_KIT_SOURCE_DIR}/scenarios/*.cpp")
add_executable(qvkit "${QV_KIT_SOURCE_DIR}/Qvkit.cpp" ${QV_KIT_SCENARIO_SOURCES} "${QV_KIT_RC}")
target_link_libraries(qvkit PRIVATE qv_kit_frame ${QV_TEST_SYSTEM_LIBRARIES})
target_link_options(qvkit PRIVATE -municode)

# The kit's script archive: every file below tests/kit/scripts, paths kept.
include(${CMAKE_CURRENT_LIST_DIR}/ScriptArchive.cmake)
set(QV_KIT_SCRIPTS_ZIP "${QV_KIT_BINARY_DIR}/kitscripts.zip")
qv_script_archive("${QV_KIT_SCRIPTS_ZIP}" "${QV_KIT_SOURCE_DIR}/scripts" GLOB_RECURSE "*" "the kit's scripts")

# What the kit carries: programs by target, the rest by file.
set(QV_KIT_TARGETS UninstallationTool qvkit ${QV_HELPER_TARGETS})
foreach(dir IN LISTS QV_UNIT_DIRS)
  get_filename_component(name "${dir}" NAME)
  if(TARGET ${name}_tests)
    list(APPEND QV_KIT_TARGETS ${name}_tests)
  endif()
endforeach()
foreach(src IN LISTS QV_HELPER_SOURCES)
  get_filename_component(name "${src}" NAME_WE)
  if(name MATCHES "_dll$")
    string(REGEX REPLACE "_dll$" "" dll "${name}")
    list(APPEND QV_KIT_TARGETS ${dll})
  endif()
endforeach()
set(QV_KIT_FILES "${QV_KIT_SCRIPTS_ZIP}" "${QV_KIT_SOURCE_DIR}/qvkit.wsb" "${QV_KIT_SOURCE_DIR}/README.txt")
set(QV_KIT_COPY_SOURCES ${QV_KIT_FILES})
set(QV_KIT_ENTRIES)
foreach(target IN LISTS QV_KIT_TARGETS)
  list(APPEND QV_KIT_COPY_SOURCES "$<TARGET_FILE:${target}>")
  list(APPEND QV_KIT_ENTRIES "$<TARGET_FILE_NAME:${target}>")
endforeach()
foreach(file IN LISTS QV_KIT_FILES)
  get_filename_component(name "${file}" NAME)
  list(APPEND QV_KIT_ENTRIES "${name}")
endforeach()

# The staging folder is rebuilt from scratch so nothing stale travels; the zip holds its files at
# the top level.
set(QV_KIT_STAGING "${CMAKE_BINARY_DIR}/windows-kit")
set(QV_KIT_ZIP "${CMAKE_BINARY_DIR}/windows-kit.zip")
add_custom_command(OUTPUT "${QV_KIT_ZIP}"
  COMMAND ${CMAKE_COMMAND} -E rm -rf "${QV_KIT_STAGING}" "${QV_KIT_ZIP}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${QV_KIT_STAGING}"
  COMMAND ${CMAKE_COMMAND} -E copy ${QV_KIT_COPY_SOURCES} "${QV_KIT_STAGING}"
  COMMAND ${CMAKE_COMMAND} -E chdir "${QV_KIT_STAGING}"
    ${CMAKE_COMMAND} -E tar cf "${QV_KIT_ZIP}" --format=zip ${QV_KIT_ENTRIES}
  DEPENDS ${QV_KIT_TARGETS} ${QV_KIT_FILES}
  COMMENT "Packing the Windows validation kit" VERBATIM)
# Part of every build (about 3 s), so the tests always find the kit that matches the build.
add_custom_target(windows-kit ALL DEPENDS "${QV_KIT_ZIP}")
