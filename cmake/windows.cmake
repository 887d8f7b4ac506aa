# Windows builds (mingw-w64 cross compile).
#
# Trees of the files for users (the toolchain sets TVN_USER_FILES; win32
# thread model): build/win32 (i686, Windows 2000 and later) and build/win64
# (x86_64, XP x64 / Server 2003 x64 and later): TVN.exe and TVN-en.exe only,
# and the checks of them as files: the import audit and, at compile time, the
# structure sizes.
# Test trees (posix thread model): build/win (x86_64) and build/win32-tests
# (i686): TVN.exe's twin, the folder libraries, the Windows-side GoogleTest
# suite, the test tools and the end-to-end tests, which run the users' files
# of the same architecture under Wine.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

# The product is compiled against the Windows 2000 headers, so that nothing
# newer can be called without notice; what newer systems add is looked up at
# run time. The test programs may use newer calls.
set(TVN_PRODUCT_DEFINITIONS _WIN32_WINNT=0x0500 WINVER=0x0500 _WIN32_IE=0x0501)
set(TVN_TEST_DEFINITIONS _WIN32_WINNT=0x0601 WINVER=0x0601)
set(TVN_STATIC_LINK -static -static-libgcc -static-libstdc++)
# No comdlg32: the command dialog loads it when the user browses, so that no
# start pays for loading it (and the print-spooler libraries it brings).
set(TVN_SYSTEM_LIBS comctl32 shell32 ole32 uuid gdi32 user32 advapi32 kernel32)

if(NOT DEFINED TVN_USER_FILES)
  set(TVN_USER_FILES OFF)
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$")
  set(TVN_I386 ON)
else()
  set(TVN_I386 OFF)
endif()

# The product's folders, one library of portable code and one of Win32
# adapters each (cmake/layers.cmake).
set(TVN_LAYER_DEFINITIONS ${TVN_PRODUCT_DEFINITIONS})
set(TVN_LAYER_SYSTEM_LIBS ${TVN_SYSTEM_LIBS})
include(${CMAKE_SOURCE_DIR}/cmake/layers.cmake)

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

add_executable(TVN WIN32 ${TVN_ENTRY_SOURCE} ${CMAKE_SOURCE_DIR}/resources/tvn.rc)
set_target_properties(TVN PROPERTIES OUTPUT_NAME TVN)
target_compile_definitions(TVN PRIVATE ${TVN_PRODUCT_DEFINITIONS})
target_link_libraries(TVN PRIVATE tvn_launcher_win)
# Unused sections dropped, and no symbol table or debugging information (the
# static C++ run-time brings its own along): well under a mebibyte instead of
# 1.3 MB. Tools that read the executable after a resource update need no
# symbol table either.
target_link_options(TVN PRIVATE -municode -mwindows ${TVN_STATIC_LINK} -Wl,--gc-sections -s)
if(TVN_USER_FILES)
  # The executables for users, marked with the oldest system and subsystem
  # they run on: Windows 2000 (5.0) for the 32-bit file, XP x64 / Server 2003
  # x64 (5.2) for the 64-bit one.
  if(TVN_I386)
    set(TVN_MINOR_VERSION 0)
  else()
    set(TVN_MINOR_VERSION 2)
  endif()
  target_link_options(TVN PRIVATE -Wl,--major-os-version,5,--minor-os-version,${TVN_MINOR_VERSION}
                      -Wl,--major-subsystem-version,5,--minor-subsystem-version,${TVN_MINOR_VERSION})
endif()
target_include_directories(TVN PRIVATE ${TVN_LAYER_ROOT_launcher} ${CMAKE_SOURCE_DIR}/resources
                           ${CMAKE_BINARY_DIR}/resources)
add_dependencies(TVN tvn_script)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/tvn.rc PROPERTIES
  OBJECT_DEPENDS "${TVN_SCRIPT_STORED};${CMAKE_SOURCE_DIR}/resources/tvn.ico;${CMAKE_SOURCE_DIR}/resources/tvn.manifest")

# TVN-en.exe: TVN.exe with the script packed with the English texts. The
# packed script goes into a copy of TVN.exe through the tool's own update mode
# (i) under Wine; scripts/make_en.sh checks the result with the copy's extract
# mode (e) and fails the build when the two differ.
set(TVN_SCRIPT_EN ${CMAKE_BINARY_DIR}/resources/description_en.script)
tvn_pack_script(en ${TVN_SCRIPT_EN})
# The tests of every tree compare against the packed English script.
add_custom_target(tvn_script_en ALL DEPENDS ${TVN_SCRIPT_EN})
if(TVN_USER_FILES)
  # The rest of this file is the test trees': tests and test tools.
  include(${CMAKE_SOURCE_DIR}/cmake/user_files.cmake)
  return()
endif()

if(NOT TVN_I386)
  # The x86_64 test tree's TVN-en.exe; its TVN.exe also puts the English
  # script into the users' files (cmake/user_files.cmake).
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/TVN-en.exe
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make_en.sh ${CMAKE_BINARY_DIR} ${TVN_SCRIPT_EN}
    DEPENDS TVN tvn_spawn ${TVN_SCRIPT_EN} ${CMAKE_SOURCE_DIR}/scripts/make_en.sh
            ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh
    COMMENT "Making TVN-en.exe (English description, put in with TVN.exe i under Wine)")
  add_custom_target(tvn_en ALL DEPENDS ${CMAKE_BINARY_DIR}/TVN-en.exe)
  add_dependencies(tvn_en tvn_script_en)
endif()

# GoogleTest, cross-built from Debian's sources.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Small programs that the tests drive TVN.exe with: each tests/tools/<name>.cpp
# is the program <name>.exe, and each folder tests/tools/<name>/ with a
# main.cpp is the program tvn_<name>.exe built from all its files.
function(tvn_add_tool tool_name)
  add_executable(${tool_name} ${ARGN})
  target_include_directories(${tool_name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${tool_name} PRIVATE ${TVN_TEST_DEFINITIONS})
  target_link_libraries(${tool_name} PRIVATE ${TVN_SYSTEM_LIBS} psapi)
  target_link_options(${tool_name} PRIVATE -municode ${TVN_STATIC_LINK})
  if(tool_name MATCHES "^tvn_(record|trivial|bare_dialog|imports_floor)$")
    # Started as a user's command or as TVN.exe would be; a GUI program opens
    # no console.
    target_link_options(${tool_name} PRIVATE -mwindows)
  endif()
endfunction()
file(GLOB TVN_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tools/*.cpp)
foreach(tool_source ${TVN_TOOL_SOURCES})
  get_filename_component(tool_name ${tool_source} NAME_WE)
  tvn_add_tool(${tool_name} ${tool_source})
endforeach()
# The imports floor carries TVN.exe's manifest and is linked as TVN.exe is.
target_sources(tvn_imports_floor PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools/tvn_imports_floor.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/tests/tools/tvn_imports_floor.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/tvn.manifest)
target_link_options(tvn_imports_floor PRIVATE -Wl,--gc-sections -s)
file(GLOB TVN_TOOL_MAINS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tools/*/main.cpp)
foreach(tool_main ${TVN_TOOL_MAINS})
  get_filename_component(tool_dir ${tool_main} DIRECTORY)
  get_filename_component(tool_folder ${tool_dir} NAME)
  file(GLOB tool_sources CONFIGURE_DEPENDS ${tool_dir}/*.cpp)
  tvn_add_tool(tvn_${tool_folder} ${tool_sources})
endforeach()

# A library that the planting tests put beside TVN.exe under a system
# library's name; loading it leaves a marker file.
add_library(tvn_plant_dll SHARED ${CMAKE_SOURCE_DIR}/tests/tools/dll/tvn_plant_dll.cpp)
set_target_properties(tvn_plant_dll PROPERTIES PREFIX "" OUTPUT_NAME tvn_plant_dll)
target_include_directories(tvn_plant_dll PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(tvn_plant_dll PRIVATE kernel32)
target_link_options(tvn_plant_dll PRIVATE ${TVN_STATIC_LINK})

file(GLOB TVN_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
# What the Windows-side tests share: files and folders, windows and dialogs,
# the dialog driver, the recorder's output, registry keys, started programs.
file(GLOB TVN_WINE_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/support/*.cpp)
if(TVN_WINE_TESTS)
  # The test program carries the same resources as TVN.exe (templates, script).
  add_executable(tvn_wine_tests ${TVN_WINE_TESTS} ${TVN_WINE_TEST_SUPPORT} ${CMAKE_SOURCE_DIR}/resources/tvn.rc)
  target_include_directories(tvn_wine_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/wine
                             ${CMAKE_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/resources)
  add_dependencies(tvn_wine_tests tvn_script)
  target_compile_definitions(tvn_wine_tests PRIVATE ${TVN_TEST_DEFINITIONS})
  target_link_libraries(tvn_wine_tests PRIVATE tvn_launcher_win gtest gtest_main)
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
