# Runs after CPack has made the packages (CPACK_POST_BUILD_SCRIPTS). The library package has
# the ldconfig trigger in its control files, which refreshes the dynamic linker's cache; the
# postinst and postrm that CPack adds to call ldconfig as well are taken out again.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT deb MATCHES "/libhalvorn-components[0-9]+_[^/]*\\.deb$")
        continue()
    endif()
    set(tree ${CPACK_TOPLEVEL_DIRECTORY}/ldconfig-trigger)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    if(NOT EXISTS ${tree}/DEBIAN/triggers)
        message(FATAL_ERROR "${deb}: no ldconfig trigger")
    endif()
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
