# Common compile settings for every target of the project.

set(AURALITH_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Werror)

if(AURALITH_SANITIZE)
  add_compile_options(-fsanitize=${AURALITH_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${AURALITH_SANITIZE})
  # Undefined behaviour stops the run rather than scrolling past.
  if(AURALITH_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

# Coverage feedback for libFuzzer in every library a fuzz target links; the
# targets themselves link the fuzzer's main (-fsanitize=fuzzer).
if(AURALITH_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "AURALITH_FUZZ needs clang (use the fuzz preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# The version header, configured from project(... VERSION): the one place
# the version is written.
configure_file(${CMAKE_CURRENT_LIST_DIR}/auralith_version.h.in
               ${PROJECT_BINARY_DIR}/generated/auralith_version.h @ONLY)
add_library(auralith_version INTERFACE)
target_include_directories(auralith_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

# Our own code: warnings as errors, and every project header included from
# the src/ root ("audio/vt_device.h").
function(auralith_target target)
  target_compile_options(${target} PRIVATE ${AURALITH_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

# Floating point exactly as written: no contraction into fused multiply-add,
# no fast-math, SSE2 arithmetic (never x87 extended precision). GCC 12's
# basic-block vectorizer, when it packs the two channels of plain scalar code,
# drops a rounding to float between two double operations, so it stays off
# wherever formulas are written out.
function(auralith_exact_float target)
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -fno-tree-slp-vectorize)
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i[3-6]86")
    target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
  endif()
endfunction()

# A GoogleTest executable registered with CTest.
function(auralith_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  auralith_target(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # A list value would be split into separate property arguments: escape it.
  string(REPLACE ";" "\\;" labels "${T_LABELS}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}")
endfunction()
