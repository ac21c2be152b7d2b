# Registers in the host tree's CTest everything that runs under Wine: the
# Windows unit-test binaries of the win32 tree and the e2e scenarios. One
# Wine prefix is made fresh for each CTest session (fixture "wine") and its
# wineserver is kept running until the session's cleanup.
set(KQ_WIN32_BUILD_DIR "" CACHE PATH "Binary folder of the win32 preset")
set(KQ_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(KQ_TOOLS ${KQ_SOURCE_ROOT}/tools)
find_program(KQ_SYSTEM_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)

set(manifest ${KQ_WIN32_BUILD_DIR}/wine_unit_tests.cmake)
if(NOT KQ_WIN32_BUILD_DIR OR NOT EXISTS ${manifest})
  message(FATAL_ERROR "Configure the win32 preset first (expected ${manifest})")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})

add_test(NAME wine.session.start
  COMMAND ${KQ_TOOLS}/wine-session.sh start ${KQ_WINE_PREFIX} ${KQ_WIN32_BUILD_DIR}/tools/keepalive.exe)
add_test(NAME wine.session.stop COMMAND ${KQ_TOOLS}/wine-session.sh stop ${KQ_WINE_PREFIX})
set_tests_properties(wine.session.start PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wineprefix LABELS wine)
set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine RESOURCE_LOCK wineprefix LABELS wine)

# kq_wine_unit_test(<module> <exe> <versions>) is called by the manifest.
function(kq_wine_unit_test module exe versions)
  foreach(version IN LISTS versions)
    set(name win.${module}.${version})
    add_test(NAME ${name}
      COMMAND ${KQ_TOOLS}/wine-run.sh --prefix ${KQ_WINE_PREFIX} --version ${version} -- ${exe} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix
      LABELS wine TIMEOUT 600)
  endforeach()
endfunction()
include(${manifest})

file(GLOB e2e_files CONFIGURE_DEPENDS ${KQ_SOURCE_ROOT}/tests/e2e/test_*.py)
foreach(file IN LISTS e2e_files)
  get_filename_component(stem ${file} NAME_WE)
  string(REGEX REPLACE "^test_" "" stem ${stem})
  add_test(NAME e2e.${stem}
    COMMAND ${KQ_SYSTEM_PYTHON} -m pytest -q -p no:cacheprovider --durations=5 ${file}
    WORKING_DIRECTORY ${KQ_SOURCE_ROOT}/tests/e2e)
  set_tests_properties(e2e.${stem} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix
    LABELS e2e TIMEOUT 900
    ENVIRONMENT "KQ_WINEPREFIX=${KQ_WINE_PREFIX};KQ_WIN32_BUILD_DIR=${KQ_WIN32_BUILD_DIR};KQ_SOURCE_ROOT=${KQ_SOURCE_ROOT}")
endforeach()

# SETUP.EXE stays small and depends on system DLLs only.
add_test(NAME setup_exe.size_and_imports
  COMMAND ${KQ_TOOLS}/check-setup-exe.sh ${KQ_WIN32_BUILD_DIR}/src/app/SETUP.EXE)
set_tests_properties(setup_exe.size_and_imports PROPERTIES LABELS build)

# Layering and call rules over the sources.
add_test(NAME sources.rules COMMAND ${KQ_TOOLS}/check-sources.sh)
set_tests_properties(sources.rules PROPERTIES LABELS build)
