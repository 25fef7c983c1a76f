# Tests of the audio engine (included where the engine library is defined).
auralith_test(audio_engine_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/engine_logic_test.cpp
  LIBS auralith_audio_engine
  LABELS audio)
