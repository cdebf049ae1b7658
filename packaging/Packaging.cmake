# What `cmake --install` adds beyond the programs, and the Debian package made by CPack
# (cpack -G DEB in the build folder).

install(FILES ${CMAKE_CURRENT_LIST_DIR}/halvorn.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/halvorn.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/halvorn-48.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME halvorn.png)

# Manual pages: the program's is written by hand; the tools' come from their --help text,
# so they never drift from it. All are installed compressed, as Debian wants them.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
set(man_dir ${PROJECT_BINARY_DIR}/packaging/man)
set(man_pages)
add_custom_command(OUTPUT ${man_dir}/halvorn.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_LIST_DIR}/man/halvorn.1 > ${man_dir}/halvorn.1.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/halvorn.1 VERBATIM)
list(APPEND man_pages ${man_dir}/halvorn.1.gz)
if(HELP2MAN)
    set(summary_halvorn-cli "the Halvorn 4410 report pipeline without a window")
    set(summary_halvorn-sim "a simulated Halvorn 4410 on a pseudo-terminal")
    set(summary_halvorn-setup "prepare Halvorn for the current user")
    foreach(tool halvorn-cli halvorn-sim halvorn-setup)
        add_custom_command(OUTPUT ${man_dir}/${tool}.1.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
            COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=1796688000 QT_QPA_PLATFORM=offscreen
                    ${HELP2MAN} --no-info --no-discard-stderr
                    --version-string=${PROJECT_VERSION} --name=${summary_${tool}}
                    --output=${man_dir}/${tool}.1 $<TARGET_FILE:${tool}>
            COMMAND ${GZIP} -9nf ${man_dir}/${tool}.1
            DEPENDS ${tool} VERBATIM)
        list(APPEND man_pages ${man_dir}/${tool}.1.gz)
    endforeach()
else()
    message(STATUS "help2man not found: the tools' manual pages are not made")
endif()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(halvorn_docs ALL DEPENDS ${man_pages} ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/halvorn)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvorn)
set(CPACK_PACKAGE_VENDOR "Halvorn developers")
set(CPACK_PACKAGE_CONTACT "Halvorn developers <dev@halvorn.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reports from a Halvorn 4410 continuous radon monitor")
# Debian wants description lines of at most 80 characters.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Downloads the stored measurements of a Halvorn 4410 continuous radon monitor
over a serial line, turns the printout into a report, and lets you annotate,
save, export, reopen and print it. Includes halvorn-cli (the same without
windows), halvorn-sim (a simulated instrument) and halvorn-setup (prepares the
settings of each user).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvorn developers <dev@halvorn.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries come from dpkg-shlibdeps; what is loaded at run time is named here: the
# window system plugins, the SQLite driver of the archive, and the fonts that render
# "Courier New".
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils")
include(CPack)

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/screenshot ${PROJECT_BINARY_DIR}/packaging/screenshot)
