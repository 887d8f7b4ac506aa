# Native build: the portable core, its GoogleTest suite and benchmarks.
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
include(GoogleTest)

# The loader's tests and benchmark load the expected registry dumps, the
# output of the real description script.
set(TVN_EXPECTED_DIR ${CMAKE_SOURCE_DIR}/tests/wine/expected)

file(GLOB TVN_NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
add_executable(tvn_core_tests ${TVN_NATIVE_TESTS})
target_include_directories(tvn_core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
target_compile_definitions(tvn_core_tests PRIVATE "TVN_EXPECTED_DIR=\"${TVN_EXPECTED_DIR}\"")
target_link_libraries(tvn_core_tests PRIVATE tvn_core GTest::gtest_main)
gtest_discover_tests(tvn_core_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60)

find_package(benchmark QUIET)
file(GLOB TVN_BENCHMARKS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*_bench.cpp)
if(benchmark_FOUND AND TVN_BENCHMARKS)
  add_executable(tvn_benchmarks ${TVN_BENCHMARKS})
  target_link_libraries(tvn_benchmarks PRIVATE tvn_core benchmark::benchmark_main)
  target_compile_definitions(tvn_benchmarks PRIVATE "TVN_EXPECTED_DIR=\"${TVN_EXPECTED_DIR}\"")
endif()

# The script packer: the stored form and the merge of a texts table. Python,
# so the sanitizer tree does not run it a second time.
if(NOT TVN_SANITIZE)
  add_test(NAME native.pack_script COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/scripts/pack_script_test.py)
endif()
