# moc's generated files are kept between builds and are not redone when a file joins the
# folder (the glob re-runs the configure step, but the old list of generated files stays):
# a build folder made before a new Q_OBJECT header was added would fail to link. When the
# list of files changes, the configure step drops the generated folder so it is made anew.
function(plume_refresh_autogen_on_new_files name files)
    string(SHA1 digest "${files}")
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.files.sha1)
    set(previous "")
    if(EXISTS ${stamp})
        file(READ ${stamp} previous)
    endif()
    if(NOT previous STREQUAL digest)
        file(REMOVE_RECURSE ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen)
        file(WRITE ${stamp} ${digest})
    endif()
endfunction()

# plume_add_library(NAME DIR DEPS...): one static library per source folder, built from
# every .cpp in that folder (not its sub-folders), so adding a file needs no CMake edit.
# A platform's own implementation of an interface ends in Posix.cpp or Windows.cpp and is
# built only on that platform.
function(plume_add_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(NOT UNIX)
        list(FILTER sources EXCLUDE REGEX "Posix\\.cpp$")
    endif()
    if(NOT WIN32)
        list(FILTER sources EXCLUDE REGEX "Windows\\.cpp$")
    endif()
    if(sources)
        file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
        add_library(${name} STATIC ${sources} ${headers})
        target_link_libraries(${name} PUBLIC plume_options ${ARG_DEPS})
        plume_refresh_autogen_on_new_files(${name} "${sources};${headers}")
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
    # Tests of one platform's own pieces end in X11Test.cpp, PosixTest.cpp or WindowsTest.cpp.
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "(X11|Posix)Test\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "WindowsTest\\.cpp$")
    endif()
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    plume_refresh_autogen_on_new_files(${name} "${sources}")
    target_link_libraries(${name} PRIVATE plume_options plume_test_support ${ARG_DEPS}
                                          GTest::gtest GTest::gmock)
    set(environment "QT_QPA_PLATFORM=offscreen;PLUME_SHARED_DIR=${PLUME_SHARED_DIR};PLUME_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
    if(CMAKE_CROSSCOMPILING)
        # Under an emulator (Wine) each program is one test: listing its cases first would
        # start the emulator once more for each program at every build.
        add_test(NAME ${name} COMMAND ${name})
        if(EXISTS ${PROJECT_BINARY_DIR}/wine-qt.conf)
            configure_file(${PROJECT_BINARY_DIR}/wine-qt.conf ${CMAKE_CURRENT_BINARY_DIR}/qt.conf COPYONLY)
        endif()
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 240)
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${environment}")
    endif()
endfunction()
