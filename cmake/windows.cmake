# Windows build (mingw-w64 cross compile): TVN.exe, the adapter library, the
# Windows-side GoogleTest suite, the test tools and the end-to-end tests.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
set(TVN_STATIC_LINK -static -static-libgcc -static-libstdc++)
# No comdlg32: the command dialog loads it when the user browses, so that no
# start pays for loading it (and the print-spooler libraries it brings).
set(TVN_SYSTEM_LIBS comctl32 shell32 ole32 uuid gdi32 user32 advapi32 kernel32)

file(GLOB TVN_WIN_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/launcher/win/*.cpp
  ${CMAKE_SOURCE_DIR}/description/win/*.cpp
  ${CMAKE_SOURCE_DIR}/launching/win/*.cpp
  ${CMAKE_SOURCE_DIR}/dialogs/win/*.cpp)
list(FILTER TVN_WIN_SOURCES EXCLUDE REGEX ".*/launcher/win/main\\.cpp$")
add_library(tvn_win STATIC ${TVN_WIN_SOURCES})
target_link_libraries(tvn_win PUBLIC tvn_core ${TVN_SYSTEM_LIBS})

# The description script is stored in the executable as code page 1251 text:
# the one script source packed with one language's texts table
# (resources/texts/<language>.txt), which the packer puts in as the script's
# first statement. TVN.exe carries the Russian texts, TVN-en.exe the English.
set(TVN_SCRIPT_SOURCE ${CMAKE_SOURCE_DIR}/resources/description.js)
function(tvn_pack_script language output)
  set(table ${CMAKE_SOURCE_DIR}/resources/texts/${language}.txt)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/pack_script.py --texts ${table} ${TVN_SCRIPT_SOURCE} ${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/pack_script.py ${TVN_SCRIPT_SOURCE} ${table}
    COMMENT "Packing the description script with the ${language} texts")
endfunction()
set(TVN_SCRIPT_STORED ${CMAKE_BINARY_DIR}/resources/description.script)
tvn_pack_script(ru ${TVN_SCRIPT_STORED})
add_custom_target(tvn_script DEPENDS ${TVN_SCRIPT_STORED})

add_executable(TVN WIN32 ${CMAKE_SOURCE_DIR}/launcher/win/main.cpp ${CMAKE_SOURCE_DIR}/resources/tvn.rc)
set_target_properties(TVN PROPERTIES OUTPUT_NAME TVN)
target_link_libraries(TVN PRIVATE tvn_win)
# Unused sections dropped, and no symbol table or debugging information (the
# static C++ run-time brings its own along): about 420 KB instead of 1.3 MB.
target_link_options(TVN PRIVATE -municode -mwindows ${TVN_STATIC_LINK} -Wl,--gc-sections -s)
target_include_directories(TVN PRIVATE ${CMAKE_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/resources)
add_dependencies(TVN tvn_script)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/tvn.rc PROPERTIES
  OBJECT_DEPENDS "${TVN_SCRIPT_STORED};${CMAKE_SOURCE_DIR}/resources/tvn.ico;${CMAKE_SOURCE_DIR}/resources/tvn.manifest")

# TVN-en.exe: TVN.exe with the script packed with the English texts. The
# packed script goes into a copy of TVN.exe through the tool's own update mode
# (i) under Wine; scripts/make_en.sh checks the result with the copy's extract
# mode (e) and fails the build when the two differ.
set(TVN_SCRIPT_EN ${CMAKE_BINARY_DIR}/resources/description_en.script)
tvn_pack_script(en ${TVN_SCRIPT_EN})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/TVN-en.exe
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make_en.sh ${CMAKE_BINARY_DIR} ${TVN_SCRIPT_EN}
  DEPENDS TVN tvn_spawn ${TVN_SCRIPT_EN} ${CMAKE_SOURCE_DIR}/scripts/make_en.sh ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh
  COMMENT "Making TVN-en.exe (English description, put in with TVN.exe i under Wine)")
add_custom_target(tvn_en ALL DEPENDS ${CMAKE_BINARY_DIR}/TVN-en.exe)

# GoogleTest, cross-built from Debian's sources.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Small programs that the tests drive TVN.exe with.
file(GLOB TVN_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tools/*.cpp)
foreach(tool_source ${TVN_TOOL_SOURCES})
  get_filename_component(tool_name ${tool_source} NAME_WE)
  add_executable(${tool_name} ${tool_source})
  target_include_directories(${tool_name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${tool_name} PRIVATE ${TVN_SYSTEM_LIBS} psapi)
  target_link_options(${tool_name} PRIVATE -municode ${TVN_STATIC_LINK})
  if(tool_name MATCHES "^tvn_(record|trivial|bare_dialog)$")
    # Started as a user's command or as TVN.exe would be; a GUI program opens
    # no console.
    target_link_options(${tool_name} PRIVATE -mwindows)
  endif()
endforeach()

file(GLOB TVN_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
if(TVN_WINE_TESTS)
  # The test program carries the same resources as TVN.exe (templates, script).
  add_executable(tvn_wine_tests ${TVN_WINE_TESTS} ${CMAKE_SOURCE_DIR}/resources/tvn.rc)
  target_include_directories(tvn_wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine ${CMAKE_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/resources)
  add_dependencies(tvn_wine_tests tvn_script)
  target_link_libraries(tvn_wine_tests PRIVATE tvn_win gtest gtest_main)
  # The expected registry dumps of the description script; Wine sees the
  # host's root as drive Z:.
  set(TVN_EXPECTED_DIR ${CMAKE_SOURCE_DIR}/tests/wine/expected)
  if(TVN_EXPECTED_DIR MATCHES "^/")
    set(TVN_EXPECTED_DIR "Z:${TVN_EXPECTED_DIR}")
  endif()
  target_compile_definitions(tvn_wine_tests PRIVATE "TVN_EXPECTED_DIR=\"${TVN_EXPECTED_DIR}\"")
  target_link_options(tvn_wine_tests PRIVATE ${TVN_STATIC_LINK})
  gtest_discover_tests(tvn_wine_tests TEST_PREFIX "wine." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endif()

# End-to-end tests: Python (standard library only) driving TVN.exe under Wine
# with the inspector, xdotool and ImageMagick. Each file is one CTest test.
file(GLOB TVN_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
foreach(e2e ${TVN_E2E_TESTS})
  get_filename_component(e2e_name ${e2e} NAME_WE)
  add_test(NAME e2e.${e2e_name} COMMAND python3 ${e2e} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e.${e2e_name} PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE
                       ENVIRONMENT "TVN_BUILD_DIR=${CMAKE_BINARY_DIR};TVN_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endforeach()
