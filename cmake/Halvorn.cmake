# halvorn_library(NAME [EXCLUDE files...] LINK libs...): a static library of every .cpp in the
# current folder (main.cpp and the EXCLUDE files left out), include root src/.
function(halvorn_library name)
    cmake_parse_arguments(ARG "" "" "LINK;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    # An excluded source takes its header along, or moc would compile it twice.
    foreach(excluded IN LISTS ARG_EXCLUDE)
        get_filename_component(stem ${excluded} NAME_WE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
        list(REMOVE_ITEM headers ${CMAKE_CURRENT_SOURCE_DIR}/${stem}.h)
    endforeach()
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(NOT sources)
        # Nothing built here yet: still usable as a dependency.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_LINK})
        return()
    endif()
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
endfunction()

# halvorn_component_library(NAME EXPORT_NAME name OUTPUT_NAME file [SOURCES files... | EXCLUDE
#                           files...] PUBLIC_HEADERS files... LINK libs... [PRIVATE_LINK libs...])
# A shared library of the installed component package (every .cpp of the current folder but the
# EXCLUDE files unless SOURCES are given): versioned by HALVORN_COMPONENTS_VERSION, its
# PUBLIC_HEADERS installed under include/halvorn/, exported as Halvorn::EXPORT_NAME.
function(halvorn_component_library name)
    cmake_parse_arguments(ARG "" "EXPORT_NAME;OUTPUT_NAME"
        "SOURCES;EXCLUDE;PUBLIC_HEADERS;LINK;PRIVATE_LINK" ${ARGN})
    if(ARG_SOURCES)
        set(sources ${ARG_SOURCES})
    else()
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
        foreach(excluded IN LISTS ARG_EXCLUDE)
            get_filename_component(stem ${excluded} NAME_WE)
            list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded}
                ${CMAKE_CURRENT_SOURCE_DIR}/${stem}.h)
        endforeach()
    endif()
    add_library(${name} SHARED ${sources})
    string(REGEX MATCH "^[0-9]+" major ${HALVORN_COMPONENTS_VERSION})
    # The libraries lie side by side wherever they are installed.
    set_target_properties(${name} PROPERTIES
        OUTPUT_NAME ${ARG_OUTPUT_NAME} EXPORT_NAME ${ARG_EXPORT_NAME}
        VERSION ${HALVORN_COMPONENTS_VERSION} SOVERSION ${major}
        INSTALL_RPATH "$ORIGIN")
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_link_libraries(${name} PUBLIC ${ARG_LINK} PRIVATE ${ARG_PRIVATE_LINK})
    # Everything a library uses must come from the libraries it names: another program has
    # none of Halvorn's own code to fill a gap. (The sanitizers' runtimes come with programs.)
    if(NOT HALVORN_SANITIZE AND NOT HALVORN_TSAN)
        target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    add_library(Halvorn::${ARG_EXPORT_NAME} ALIAS ${name})
    install(TARGETS ${name} EXPORT HalvornComponentsTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libs NAMELINK_COMPONENT dev)
    install(FILES ${ARG_PUBLIC_HEADERS}
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/halvorn COMPONENT dev)
endfunction()

# halvorn_test(NAME LINK libs... [GUI]): one GoogleTest executable of every test_*.cpp
# in the current folder. GUI tests get a QApplication (offscreen) through halvorn_gtest_qt_main.
function(halvorn_test name)
    cmake_parse_arguments(ARG "GUI" "" "LINK" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_LINK} halvorn_testsupport GTest::gtest GTest::gmock)
    if(ARG_GUI)
        target_link_libraries(${name} PRIVATE halvorn_gtest_qt_main)
    else()
        target_link_libraries(${name} PRIVATE halvorn_gtest_core_main)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
                   TIMEOUT 120)
endfunction()

# halvorn_optional_libudev(NAME WITHOUT): links NAME with libudev and defines HALVORN_HAVE_LIBUDEV
# where pkg-config finds it; else says WITHOUT, what NAME does instead.
function(halvorn_optional_libudev name without)
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
        pkg_check_modules(LIBUDEV QUIET IMPORTED_TARGET libudev)
    endif()
    if(LIBUDEV_FOUND)
        target_link_libraries(${name} PRIVATE PkgConfig::LIBUDEV)
        target_compile_definitions(${name} PRIVATE HALVORN_HAVE_LIBUDEV)
    else()
        message(STATUS "libudev not found: ${without}")
    endif()
endfunction()

# halvorn_relative_rpath(VAR DESTINATION): "$ORIGIN/<path>" that leads from the install folder
# DESTINATION (relative to the prefix) to the library folder, e.g. "$ORIGIN/../lib" from bin.
function(halvorn_relative_rpath var destination)
    file(RELATIVE_PATH path ${CMAKE_INSTALL_PREFIX}/${destination}
        ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
    string(REGEX REPLACE "/$" "" path "${path}")
    if(path STREQUAL "")
        set(${var} "$ORIGIN" PARENT_SCOPE)
    else()
        set(${var} "$ORIGIN/${path}" PARENT_SCOPE)
    endif()
endfunction()
