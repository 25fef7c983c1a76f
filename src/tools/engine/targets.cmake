# The engine library (included here until the audio module includes it
# itself), the host and the engine's tests.
include(${PROJECT_SOURCE_DIR}/src/audio/engine.cmake)
if(NOT TARGET auralith_audio_engine OR NOT TARGET auralith_render_core)
  return()
endif()

set(engine_dir ${PROJECT_SOURCE_DIR}/src/tools/engine)
find_package(Qt6 REQUIRED COMPONENTS Core)
add_library(auralith_engine_host STATIC ${engine_dir}/host_profile.cpp ${engine_dir}/host_settings.cpp)
target_include_directories(auralith_engine_host PUBLIC ${engine_dir} ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(auralith_engine_host PUBLIC auralith_render_core auralith_settings Qt6::Core)
auralith_target(auralith_engine_host)

add_executable(auralith-engine ${engine_dir}/main.cpp)
set_target_properties(auralith-engine PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/src/tools/engine)
target_link_libraries(auralith-engine PRIVATE auralith_engine_host auralith_audio_engine)
auralith_target(auralith-engine)

if(AURALITH_TESTS)
  include(${PROJECT_SOURCE_DIR}/tests/audio/engine_tests.cmake)
endif()
