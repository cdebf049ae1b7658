# What `cmake --install` adds beyond the programs, and the Debian package made by CPack
# (cpack -G DEB in the build folder).

install(FILES ${CMAKE_CURRENT_LIST_DIR}/halvorn.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/halvorn.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/halvorn-48.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME halvorn.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvorn)
set(CPACK_PACKAGE_VENDOR "Halvorn developers")
set(CPACK_PACKAGE_CONTACT "Halvorn developers <dev@halvorn.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reports from a Halvorn 4410 continuous radon monitor")
set(CPACK_PACKAGE_DESCRIPTION "Downloads the stored measurements of a Halvorn 4410 \
continuous radon monitor over a serial line, turns the printout into a report, and lets you \
annotate, save, export, reopen and print it. Includes halvorn-cli (the same without windows), \
halvorn-sim (a simulated instrument) and halvorn-setup (prepares the settings of each user).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvorn developers <dev@halvorn.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries come from dpkg-shlibdeps; what is loaded at run time is named here: the
# window system plugins, and the fonts that render "Courier New".
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils")
include(CPack)

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/screenshot ${PROJECT_BINARY_DIR}/packaging/screenshot)
