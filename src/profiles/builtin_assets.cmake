# The built-in profiles as an installable folder in the build tree: the
# profile files copied and their pictures rendered from the SVG sources.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)

set(profile_assets_src ${PROJECT_SOURCE_DIR}/assets/profiles)
set(AURALITH_PROFILE_ASSETS_DIR ${CMAKE_BINARY_DIR}/assets/profiles
    CACHE INTERNAL "Built-in profiles and their pictures, ready to install")
set(picture_size 80)

file(GLOB profile_files CONFIGURE_DEPENDS ${profile_assets_src}/*.hvnp)
file(GLOB picture_sources CONFIGURE_DEPENDS ${profile_assets_src}/*.svg)

set(profile_outputs)
foreach(src IN LISTS profile_files)
  get_filename_component(name ${src} NAME)
  set(out ${AURALITH_PROFILE_ASSETS_DIR}/${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${src} ${out}
    DEPENDS ${src} VERBATIM)
  list(APPEND profile_outputs ${out})
endforeach()
foreach(src IN LISTS picture_sources)
  get_filename_component(stem ${src} NAME_WE)
  set(out ${AURALITH_PROFILE_ASSETS_DIR}/${stem}.png)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${AURALITH_PROFILE_ASSETS_DIR}
    COMMAND ${RSVG_CONVERT} -w ${picture_size} -h ${picture_size} -o ${out} ${src}
    DEPENDS ${src} VERBATIM)
  list(APPEND profile_outputs ${out})
endforeach()

add_custom_target(auralith_profile_assets ALL DEPENDS ${profile_outputs})

install(DIRECTORY ${AURALITH_PROFILE_ASSETS_DIR}/ DESTINATION ${AURALITH_INSTALL_DATADIR}/profiles
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
add_dependencies(auralith_installed auralith_profile_assets)
