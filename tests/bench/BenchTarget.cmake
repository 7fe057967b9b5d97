include_guard(GLOBAL)
# vx_add_bench(NAME <name> SOURCES <files...> [LIBS <libs...>] [DEPENDS <targets...>])
# A Google Benchmark program in <build>/bench-bin and part of the target
# `benchmarks`. Benchmarks are never registered with CTest: scripts/bench.sh
# builds them in Release and runs them.
function(vx_add_bench)
  if(NOT VX_BUILD_BENCH)
    return()
  endif()
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS;DEPENDS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE vx4418core vx4418testdoubles benchmark::benchmark ${B_LIBS})
  target_include_directories(${B_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common
                                                ${CMAKE_SOURCE_DIR}/tests/bench/common)
  target_compile_definitions(${B_NAME} PRIVATE
    VX_BIN_DIR="${VX_BIN_DIR}" VX_SUPPLIED_DB="${VX_BIN_DIR}/DB/dbVX4418.db")
  set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench-bin)
  add_dependencies(${B_NAME} vx4418_database vx4418_langfiles ${B_DEPENDS})
  if(NOT TARGET benchmarks)
    add_custom_target(benchmarks)
  endif()
  add_dependencies(benchmarks ${B_NAME})
endfunction()
