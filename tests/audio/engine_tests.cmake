# Tests of the audio engine (included where the engine library is defined).
auralith_test(audio_engine_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/engine_logic_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/engine_pulse_test.cpp
  LIBS auralith_audio_engine auralith_ulxd_harness
  LABELS audio)
set_target_properties(audio_engine_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/audio)

# The end-to-end suite's comparison of a recording with the renderer's output.
pkg_check_modules(COMPARE_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
add_executable(audio_signal_compare ${CMAKE_CURRENT_LIST_DIR}/signal_compare.cpp)
set_target_properties(audio_signal_compare PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/audio)
target_link_libraries(audio_signal_compare PRIVATE PkgConfig::COMPARE_SNDFILE)
auralith_target(audio_signal_compare)
