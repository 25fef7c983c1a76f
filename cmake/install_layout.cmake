# Where an installation puts things (GNU directories below the prefix), and
# the one fact the programs need to find their data from wherever they are
# installed: the data folder relative to the programs' folder.
include(GNUInstallDirs)

set(AURALITH_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/auralith)
set(AURALITH_INSTALL_LIBEXECDIR ${CMAKE_INSTALL_LIBEXECDIR}/auralith)
file(RELATIVE_PATH AURALITH_DATA_FROM_BINDIR
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${AURALITH_INSTALL_DATADIR})
file(RELATIVE_PATH AURALITH_LIBEXEC_FROM_BINDIR
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${AURALITH_INSTALL_LIBEXECDIR})

# Installed directories are world-readable whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# `cmake --install` and cpack install what scripts/package.sh built
# (auralith_installed), not the whole tree with its tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(auralith_installed)
