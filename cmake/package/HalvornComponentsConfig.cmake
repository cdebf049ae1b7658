# The Halvorn component libraries.
#
#   find_package(HalvornComponents 1.0 REQUIRED)
#   target_link_libraries(app PRIVATE Halvorn::SerialComponents Halvorn::UiComponents)
#   halvorn_embed_version(app COPYRIGHT "Copyright (C) 2026 Example Ltd")
#
# halvorn_embed_version() gives a program the version resource that TZEVAboutBox shows: by
# default the project's name and version.
include(CMakeFindDependencyMacro)
find_dependency(Qt6 COMPONENTS Core Gui Widgets)
include(${CMAKE_CURRENT_LIST_DIR}/HalvornComponentsTargets.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/HalvornEmbedVersion.cmake)
