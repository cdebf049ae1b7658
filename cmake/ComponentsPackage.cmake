# The component libraries as a package for other programs, installed as the "dev" component:
# the CMake package HalvornComponents (its targets and halvorn_embed_version()) and pkg-config
# files. Both find the installation relative to themselves, so any prefix works.
include(CMakePackageConfigHelpers)

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/HalvornComponents)
install(EXPORT HalvornComponentsTargets NAMESPACE Halvorn::
    DESTINATION ${package_dir} COMPONENT dev)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/HalvornComponentsConfigVersion.cmake
    VERSION ${HALVORN_COMPONENTS_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/package/HalvornComponentsConfig.cmake
    ${PROJECT_BINARY_DIR}/HalvornComponentsConfigVersion.cmake
    DESTINATION ${package_dir} COMPONENT dev)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/Version.cmake
    DESTINATION ${package_dir} RENAME HalvornEmbedVersion.cmake COMPONENT dev)

set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_PREFIX}/${pc_dir} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
foreach(pc IN ITEMS
        "halvorn-components|Qt6Core|Halvorn components: exceptions, COM port names, palette"
        "halvorn-components-serial|halvorn-components Qt6Widgets|Halvorn serial components"
        "halvorn-components-ui|halvorn-components Qt6Widgets|Halvorn user-interface components")
    string(REPLACE "|" ";" fields "${pc}")
    list(GET fields 0 pc_name)
    list(GET fields 1 pc_requires)
    list(GET fields 2 pc_description)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/package/halvorn-components.pc.in
        ${PROJECT_BINARY_DIR}/pkgconfig/${pc_name}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${pc_name}.pc DESTINATION ${pc_dir} COMPONENT dev)
endforeach()
