# Unit suites (one executable per folder under tests/unit), helper programs for the end-to-end
# scenarios and benchmarks (linked with the core library), and the pytest scenarios themselves. Every
# Windows executable runs under Wine.
include(GoogleTest)
set(QV_TEST_ENV "WINEPREFIX=${QV_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
# Test programs may import system libraries the tool itself binds at run time (tools/check-imports).
set(QV_TEST_SYSTEM_LIBRARIES gdiplus comctl32 uxtheme dwmapi setupapi version)
# The build tree's test prefix has one Wine session for every test that uses it: its log folder,
# temporary folder, single-instance mutex and the virtual display are shared. The unit suites' cases
# run on it and hold this lock, so they run one at a time. Every scenario file runs beside them: in a
# Wine session and on an X display of its own (tools/run-scenario-file), or on reference machine
# copies of its own (tests/e2e/refmachine.py) only.
set(QV_PREFIX_LOCK qv_test_prefix)
set(QV_E2E_OWN_MACHINES test_damaged_data test_family_removal test_product_scripts test_reference_machine test_run_deadline
  test_suite_removal test_undo_material)

file(GLOB QV_UNIT_DIRS LIST_DIRECTORIES true "${CMAKE_SOURCE_DIR}/tests/unit/*")
foreach(dir IN LISTS QV_UNIT_DIRS)
  if(NOT IS_DIRECTORY "${dir}")
    continue()
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    continue()
  endif()
  get_filename_component(name "${dir}" NAME)
  add_executable(${name}_tests ${sources})
  # A layer's suite links that layer's library only (and so the layers below): a test that needs a
  # higher layer sits in the wrong suite and fails the link. The script host's and the script
  # modules' suites run their scripts with the tool's whole script API, which the app layer assembles.
  set(library qvcore)
  if(name STREQUAL "script" OR name STREQUAL "sysops")
    set(library qv_app)
  elseif(TARGET qv_${name})
    set(library qv_${name})
  endif()
  target_link_libraries(${name}_tests PRIVATE ${library} ${QV_TEST_SYSTEM_LIBRARIES} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "${QV_TEST_ENV}" TIMEOUT 300 RESOURCE_LOCK ${QV_PREFIX_LOCK})
endforeach()

file(GLOB QV_HELPER_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/helpers/*.cpp")
set(QV_HELPER_TARGETS)
foreach(src IN LISTS QV_HELPER_SOURCES)
  get_filename_component(name "${src}" NAME_WE)
  # *_dll.cpp: a test library (name without the suffix, .dll beside the executables).
  if(name MATCHES "_dll$")
    string(REGEX REPLACE "_dll$" "" dll "${name}")
    add_library(${dll} SHARED ${src})
    set_target_properties(${dll} PROPERTIES PREFIX "")
    target_link_libraries(${dll} PRIVATE qv_options)
    continue()
  endif()
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE qvcore ${QV_TEST_SYSTEM_LIBRARIES})
  target_link_options(${name} PRIVATE -municode)
  list(APPEND QV_HELPER_TARGETS ${name})
endforeach()

# QV_PYTHON (CMakeLists.txt) is Debian's interpreter, which has python3-pytest.
file(GLOB QV_E2E_TESTS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py")
foreach(script IN LISTS QV_E2E_TESTS)
  get_filename_component(name "${script}" NAME_WE)
  set(own --own-session)
  if(name IN_LIST QV_E2E_OWN_MACHINES)
    set(own)
  endif()
  add_test(NAME e2e.${name}
    COMMAND bash "${CMAKE_SOURCE_DIR}/tools/run-scenario-file" ${own} ${QV_PYTHON} "${script}"
    WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}/tests/e2e")
  set_tests_properties(e2e.${name} PROPERTIES TIMEOUT 900
    ENVIRONMENT "${QV_TEST_ENV};QV_BUILD_DIR=${CMAKE_BINARY_DIR};QV_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endforeach()

# Folders include one way (base <- logging <- core <- script <- sysops <- ui <- app).
add_test(NAME layers COMMAND ${QV_PYTHON} "${CMAKE_SOURCE_DIR}/tools/check-layers" "${CMAKE_SOURCE_DIR}")
# The layer libraries link one way too: no object refers to a symbol only a higher layer defines
# (the linker misses one when the program happens to pull the defining object in anyway).
set(QV_LAYER_LIBRARIES)
foreach(layer IN LISTS QV_LAYERS)
  list(APPEND QV_LAYER_LIBRARIES "$<TARGET_FILE:qv_${layer}>")
endforeach()
add_test(NAME layer-links
  COMMAND ${QV_PYTHON} "${CMAKE_SOURCE_DIR}/tools/check-layer-links" --nm "${CMAKE_NM}" ${QV_LAYER_LIBRARIES})
