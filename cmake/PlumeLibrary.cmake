# plume_add_library(NAME DIR DEPS...): one static library per source folder, built from
# every .cpp in that folder (not its sub-folders), so adding a file needs no CMake edit.
function(plume_add_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(sources)
        file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
        add_library(${name} STATIC ${sources} ${headers})
        target_link_libraries(${name} PUBLIC plume_options ${ARG_DEPS})
    else()
        # A folder that has no code yet still takes part in the dependency graph.
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE plume_options ${ARG_DEPS})
    endif()
endfunction()

# plume_add_test(NAME DIR DEPS...): one GoogleTest program per test folder.
function(plume_add_test name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE plume_options plume_test_support ${ARG_DEPS}
                                          GTest::gtest GTest::gmock)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PLUME_SHARED_DIR=${PLUME_SHARED_DIR};PLUME_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
