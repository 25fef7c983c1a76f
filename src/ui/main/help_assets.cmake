# The help pages: copied from assets/help into "help" beside the Auralith
# executable, and found in the source tree as well when the program runs
# from a build folder that lacks them.
set(help_assets_src ${PROJECT_SOURCE_DIR}/assets/help)
set(help_assets_out ${CMAKE_CURRENT_BINARY_DIR}/help)

file(GLOB help_files CONFIGURE_DEPENDS ${help_assets_src}/*)
set(help_outputs)
foreach(src IN LISTS help_files)
  get_filename_component(name ${src} NAME)
  add_custom_command(OUTPUT ${help_assets_out}/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${help_assets_out}
    COMMAND ${CMAKE_COMMAND} -E copy ${src} ${help_assets_out}/${name}
    DEPENDS ${src} VERBATIM)
  list(APPEND help_outputs ${help_assets_out}/${name})
endforeach()
add_custom_target(auralith_help_pages ALL DEPENDS ${help_outputs})
add_dependencies(Auralith auralith_help_pages)

target_compile_definitions(auralith_main_window PRIVATE AURALITH_SOURCE_HELP_DIR="${help_assets_src}")

install(FILES ${help_files} DESTINATION ${AURALITH_INSTALL_DATADIR}/help)
