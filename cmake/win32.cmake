# The 32-bit tree (build/win32), included from windows.cmake after TVN.exe.
# Nothing here runs 32-bit code: TVN-en.exe is made by the x86_64 twin under
# Wine, and the tests read the executables as files.

# The x86_64 twin's tree, whose TVN.exe puts the English script into a copy of
# the 32-bit TVN.exe (a 32-bit program cannot run on these machines).
set(TVN_TWIN_BUILD_DIR "${CMAKE_BINARY_DIR}/../win" CACHE PATH
    "Build tree of the x86_64 twin (TVN.exe and tvn_spawn.exe, with its Wine prefix)")
get_filename_component(TVN_TWIN_BUILD_DIR "${TVN_TWIN_BUILD_DIR}" ABSOLUTE)

# TVN-en.exe: the 32-bit TVN.exe with the English description script, put in
# by the twin's update mode and read back from the file (scripts/make_en.sh).
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/TVN-en.exe
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make_en.sh ${CMAKE_BINARY_DIR} ${TVN_SCRIPT_EN} ${TVN_TWIN_BUILD_DIR}
  DEPENDS TVN ${TVN_SCRIPT_EN} ${CMAKE_SOURCE_DIR}/scripts/make_en.sh ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh
          ${CMAKE_SOURCE_DIR}/scripts/pe_resource.py ${TVN_TWIN_BUILD_DIR}/TVN.exe ${TVN_TWIN_BUILD_DIR}/tvn_spawn.exe
  COMMENT "Making the 32-bit TVN-en.exe (English description, put in with the x86_64 TVN.exe i under Wine)")
add_custom_target(tvn_en ALL DEPENDS ${CMAKE_BINARY_DIR}/TVN-en.exe)

# Checks of the executables as files.
find_program(TVN_OBJDUMP NAMES i686-w64-mingw32-objdump REQUIRED)
add_test(NAME win2000.imports
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/win2000/check_imports.py --objdump ${TVN_OBJDUMP}
                 --allowlist ${CMAKE_SOURCE_DIR}/tests/win2000/imports.txt
                 $<TARGET_FILE:TVN> ${CMAKE_BINARY_DIR}/TVN-en.exe)
add_test(NAME win2000.import_audit COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/win2000/test_check_imports.py)
add_test(NAME win2000.resources
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/win2000/test_pe_resource.py)
set_tests_properties(win2000.resources PROPERTIES ENVIRONMENT
  "TVN_WIN32_DIR=${CMAKE_BINARY_DIR};TVN_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
