# Native build: the portable core, its GoogleTest suite and benchmarks. The
# 32-bit tree (cmake/linux-i386.cmake) builds GoogleTest from Debian's sources
# for itself and has no benchmarks: the host's libraries are 64-bit.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest QUIET)
endif()
if(NOT GTest_FOUND)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)  # GoogleTest 1.11 and later name it themselves
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()
include(GoogleTest)

# The product's portable code, one library per folder (cmake/layers.cmake).
include(${CMAKE_SOURCE_DIR}/cmake/layers.cmake)

# The loader's tests and benchmark load the expected registry dumps, the
# output of the real description script.
set(TVN_EXPECTED_DIR ${CMAKE_SOURCE_DIR}/tests/wine/expected)

file(GLOB TVN_NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
add_executable(tvn_core_tests ${TVN_NATIVE_TESTS})
target_include_directories(tvn_core_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(tvn_core_tests PRIVATE "TVN_EXPECTED_DIR=\"${TVN_EXPECTED_DIR}\"")
target_link_libraries(tvn_core_tests PRIVATE tvn_launcher GTest::gtest_main)
gtest_discover_tests(tvn_core_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60)

if(NOT CMAKE_CROSSCOMPILING)
  find_package(benchmark QUIET)
endif()
file(GLOB TVN_BENCHMARKS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*_bench.cpp)
if(benchmark_FOUND AND TVN_BENCHMARKS)
  add_executable(tvn_benchmarks ${TVN_BENCHMARKS})
  target_include_directories(tvn_benchmarks PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(tvn_benchmarks PRIVATE tvn_launcher benchmark::benchmark_main)
  target_compile_definitions(tvn_benchmarks PRIVATE "TVN_EXPECTED_DIR=\"${TVN_EXPECTED_DIR}\"")
endif()

# The script packer: the stored form and the merge of a texts table. Python,
# so the sanitizer tree does not run it a second time.
if(NOT TVN_SANITIZE)
  add_test(NAME native.pack_script COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/scripts/pack_script_test.py)
  # The lint script's source checks (formatting, raw releases) on a scratch
  # repository.
  add_test(NAME native.lint_sources COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/scripts/lint_sources_test.py)
endif()

# The fuzz targets' saved inputs (tests/fuzz/corpus), replayed through the
# targets' own bodies without libFuzzer: one test per target.
file(GLOB TVN_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
foreach(source ${TVN_FUZZ_TARGETS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name}_replay ${source} ${CMAKE_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  target_include_directories(${name}_replay PRIVATE ${CMAKE_SOURCE_DIR}
                             ${CMAKE_SOURCE_DIR}/tests/fuzz)
  target_compile_definitions(${name}_replay PRIVATE "TVN_EXPECTED_DIR=\"${TVN_EXPECTED_DIR}\"")
  target_link_libraries(${name}_replay PRIVATE tvn_launcher)
  add_test(NAME fuzz_corpus.${name} COMMAND ${name}_replay ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
endforeach()

# The folder order holds: each folder's include root lets a file include the
# headers of its own folder and of those below it, and a header of any other
# folder is not found. One test per folder compiles a file with that folder's
# include root the way its library does (cmake/layer_check.cmake). Once, in the
# plain native tree.
if(NOT CMAKE_CROSSCOMPILING AND NOT TVN_SANITIZE)
  foreach(folder ${TVN_LAYERS})
    add_test(NAME layers.${folder}
             COMMAND ${CMAKE_COMMAND} -DTVN_ROOT=${CMAKE_SOURCE_DIR} -DLAYER=${folder}
                     -DINCLUDE_ROOT=${TVN_LAYER_ROOT_${folder}}
                     -DCOMPILER=${CMAKE_CXX_COMPILER} -DWORK_DIR=${CMAKE_BINARY_DIR}/layer-check/${folder}
                     -P ${CMAKE_SOURCE_DIR}/cmake/layer_check.cmake)
  endforeach()
endif()
