# halvorn_library(NAME DIR LINK libs...): a static library of every .cpp in DIR
# (main.cpp excluded), include root src/.
function(halvorn_library name)
    cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(NOT sources)
        # Nothing built here yet: still usable as a dependency.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_LINK})
        return()
    endif()
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
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
