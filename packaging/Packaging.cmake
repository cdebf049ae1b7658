# What `cmake --install` adds beyond the programs and libraries, and the Debian packages made
# by CPack (cpack -G DEB in the build folder).

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

# Three packages, one per install component: the programs ("halvorn"), the shared component
# libraries ("libs") and what a program author builds with ("dev"). Each carries the copyright
# and the changelog in its own documentation folder, as Debian wants.
set(package_halvorn halvorn)
set(package_libs libhalvorn-components1)
set(package_dev libhalvorn-components-dev)
foreach(component halvorn libs dev)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package_${component}} COMPONENT ${component})
endforeach()

# Debian's layout (multiarch library folder) comes from GNUInstallDirs for the prefix /usr.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    message(STATUS "Debian packages want a build configured with -DCMAKE_INSTALL_PREFIX=/usr")
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL halvorn libs dev)
set(CPACK_PACKAGE_NAME halvorn)
set(CPACK_PACKAGE_VENDOR "Halvorn developers")
set(CPACK_PACKAGE_CONTACT "Halvorn developers <dev@halvorn.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvorn developers <dev@halvorn.example>")
set(CPACK_DEBIAN_PACKAGE_SOURCE halvorn)

# Dependencies on other packages' libraries come from dpkg-shlibdeps. It finds our own libraries
# in this build; the dependencies on their package are the components' own, at this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src/platform
    ${PROJECT_BINARY_DIR}/src/components/serial ${PROJECT_BINARY_DIR}/src/components/ui)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_HALVORN_DEPENDS libs)
set(CPACK_COMPONENT_DEV_DEPENDS libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_DEBIAN_HALVORN_PACKAGE_NAME ${package_halvorn})
set(CPACK_DEBIAN_HALVORN_PACKAGE_SECTION science)
# What is loaded at run time is named here: the window system plugins, the SQLite driver of
# the archive, the PostgreSQL driver of the team archive, and the fonts that render "Courier
# New". The team archive's server usually runs on another machine: a suggestion. Debian wants
# description lines of at most 80 characters.
set(CPACK_DEBIAN_HALVORN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6sql6-sqlite, libqt6sql6-psql, fonts-liberation")
set(CPACK_DEBIAN_HALVORN_PACKAGE_RECOMMENDS "desktop-file-utils")
set(CPACK_DEBIAN_HALVORN_PACKAGE_SUGGESTS "postgresql")
set(CPACK_COMPONENT_HALVORN_DESCRIPTION "reports from a Halvorn 4410 continuous radon monitor
Downloads the stored measurements of a Halvorn 4410 continuous radon monitor
over a serial line, turns the printout into a report, and lets you annotate,
save, export, reopen and print it. Includes halvorn-cli (the same without
windows), halvorn-sim (a simulated instrument) and halvorn-setup (prepares the
settings of each user).")

set(CPACK_DEBIAN_LIBS_PACKAGE_NAME ${package_libs})
set(CPACK_DEBIAN_LIBS_PACKAGE_SECTION libs)
# The dynamic linker's cache follows through the ldconfig trigger; CPack's own calls to
# ldconfig in postinst and postrm go again after the build.
configure_file(${CMAKE_CURRENT_LIST_DIR}/${package_libs}.triggers
    ${PROJECT_BINARY_DIR}/packaging/libs/triggers COPYONLY)
set(CPACK_DEBIAN_LIBS_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/libs/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DropLdconfigCalls.cmake)
set(CPACK_COMPONENT_LIBS_DESCRIPTION "Halvorn component libraries for Qt programs
The serial components (TAdvancedCom with its reader thread TComThread, the
port dialog TSelectPortDlg and the device watcher) and the user-interface
components (TBufferedPaintBox, TFolderDialog, TZEVAboutComponent and its
TZEVAboutBox) that Halvorn is built with, for use by other programs.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${package_dev})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qt6-base-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "designer-qt6")
set(CPACK_COMPONENT_DEV_DESCRIPTION "Halvorn component libraries: development files
Headers, the CMake package HalvornComponents (find_package), pkg-config files
and a Qt Designer plugin that puts the widget components in the group ZEV of
Designer's widget box.")
include(CPack)

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/screenshot ${PROJECT_BINARY_DIR}/packaging/screenshot)
