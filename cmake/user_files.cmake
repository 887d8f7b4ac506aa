# The trees of the files for users (build/win32, build/win64), included from
# windows.cmake after TVN.exe. Nothing here runs the users' files: TVN-en.exe
# is made by the x86_64 test tree's TVN.exe under Wine, and the checks read
# the executables as files. The lanes of scripts/test.sh run them.

# The x86_64 test tree, whose TVN.exe puts the English script into a copy of
# this tree's TVN.exe.
set(TVN_TWIN_BUILD_DIR "${CMAKE_BINARY_DIR}/../win" CACHE PATH
    "Build tree of the x86_64 test tree (TVN.exe and tvn_spawn.exe, with its Wine prefix)")
get_filename_component(TVN_TWIN_BUILD_DIR "${TVN_TWIN_BUILD_DIR}" ABSOLUTE)

# TVN-en.exe: this tree's TVN.exe with the English description script, put in
# by the twin's update mode and read back from the file (scripts/make_en.sh).
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/TVN-en.exe
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make_en.sh ${CMAKE_BINARY_DIR} ${TVN_SCRIPT_EN} ${TVN_TWIN_BUILD_DIR}
  DEPENDS TVN ${TVN_SCRIPT_EN} ${CMAKE_SOURCE_DIR}/scripts/make_en.sh ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh
          ${CMAKE_SOURCE_DIR}/scripts/pe_resource.py ${TVN_TWIN_BUILD_DIR}/TVN.exe ${TVN_TWIN_BUILD_DIR}/tvn_spawn.exe
  COMMENT "Making TVN-en.exe (English description, put in with the x86_64 TVN.exe i under Wine)")
add_custom_target(tvn_en ALL DEPENDS ${CMAKE_BINARY_DIR}/TVN-en.exe)
add_dependencies(tvn_en tvn_script_en)

# Checks of the executables as files: the hand-written import audit (for the
# 64-bit file, the functions that only XP x64 and later name are listed apart)
# and the resources.
if(TVN_I386)
  find_program(TVN_OBJDUMP NAMES i686-w64-mingw32-objdump REQUIRED)
  set(TVN_AUDIT --machine i386 --allowlist ${CMAKE_SOURCE_DIR}/tests/win2000/imports.txt)
  set(TVN_AUDIT_NAME win2000)
else()
  find_program(TVN_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
  set(TVN_AUDIT --machine x64 --allowlist ${CMAKE_SOURCE_DIR}/tests/win2000/imports.txt
                --allowlist ${CMAKE_SOURCE_DIR}/tests/win2000/imports_x64.txt)
  set(TVN_AUDIT_NAME xp64)
endif()
add_test(NAME ${TVN_AUDIT_NAME}.imports
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/win2000/check_imports.py --objdump ${TVN_OBJDUMP} ${TVN_AUDIT}
                 $<TARGET_FILE:TVN> ${CMAKE_BINARY_DIR}/TVN-en.exe)
add_test(NAME ${TVN_AUDIT_NAME}.import_audit COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/win2000/test_check_imports.py)
add_test(NAME ${TVN_AUDIT_NAME}.resources
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/win2000/test_pe_resource.py)
set_tests_properties(${TVN_AUDIT_NAME}.resources PROPERTIES ENVIRONMENT
  "TVN_WIN32_DIR=${CMAKE_BINARY_DIR};TVN_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
