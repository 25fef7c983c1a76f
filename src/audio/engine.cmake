# The audio engine: wave-out over the sound server, output devices, the
# default output takeover, the player and the audio thread.
if(TARGET auralith_audio_engine OR NOT TARGET auralith_driver_link OR NOT TARGET auralith_dsp)
  return()
endif()
find_package(PkgConfig REQUIRED)
pkg_check_modules(AUDIO_PULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(AUDIO_DBUS REQUIRED IMPORTED_TARGET dbus-1)
find_package(Threads REQUIRED)

add_library(auralith_audio_engine STATIC
  ${CMAKE_CURRENT_LIST_DIR}/audio_engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/default_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/output_devices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pulse_client.cpp
  ${CMAKE_CURRENT_LIST_DIR}/realtime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/user_messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wake_event.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wave_out.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wave_out_player.cpp)
target_include_directories(auralith_audio_engine PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(auralith_audio_engine
  PUBLIC auralith_driver_link auralith_dsp PkgConfig::AUDIO_PULSE Threads::Threads
  PRIVATE PkgConfig::AUDIO_DBUS)
auralith_target(auralith_audio_engine)
