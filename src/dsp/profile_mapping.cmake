# The profile-to-DSP mapping: turns a loaded profile into the chain's
# parameter records. Included from src/profiles once both libraries exist.
add_library(auralith_dsp_mapping STATIC ${CMAKE_CURRENT_LIST_DIR}/profile_mapping.cpp)
target_include_directories(auralith_dsp_mapping PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(auralith_dsp_mapping PUBLIC auralith_dsp auralith_profiles)
auralith_target(auralith_dsp_mapping)
auralith_exact_float(auralith_dsp_mapping)
