# The portable folder of the Windows build, as `cmake --install` lays it out and CPack packs it
# into plume-<version>-win64.zip (scripts/windows): the two programs; the Qt, libpng and
# runtime DLLs they load, found by following their imports; Qt's windows platform plugin, the
# style and the image formats; Qt's own texts in Japanese; the help page; and a UserData.ini
# that keeps the user's data in "usData" beside plume.exe, so that the folder carries its
# drawings and settings wherever it is copied (a USB stick, another machine).
set(qt_prefix ${Qt6_DIR}/../../..)
cmake_path(NORMAL_PATH qt_prefix)
find_program(PLUME_MINGW_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)

# The DLLs of Qt, libpng, zlib and the compiler's runtime that the programs and plugins load.
# plumeconv draws on the windows platform, with Qt's own FreeType for its glyphs (inside
# Qt6Gui, nothing more to carry); qoffscreen is there for a caller who chooses it.
set(plume_plugins platforms/qwindows platforms/qoffscreen styles/qwindowsvistastyle
                  imageformats/qsvg imageformats/qico iconengines/qsvgicon)
set(plume_plugin_files ${plume_plugins})
list(TRANSFORM plume_plugin_files PREPEND ${qt_prefix}/plugins/)
list(TRANSFORM plume_plugin_files APPEND .dll)
install(CODE "
    cmake_policy(VERSION 3.25)
    set(PLUME_OBJDUMP ${PLUME_MINGW_OBJDUMP})
    set(PLUME_STRIP ${CMAKE_STRIP})
    set(PLUME_BINARIES $<TARGET_FILE:plume> $<TARGET_FILE:plumeconv> ${plume_plugin_files})
    set(PLUME_DLL_DIRS ${qt_prefix}/bin /usr/x86_64-w64-mingw32/lib
                       /usr/lib/gcc/x86_64-w64-mingw32/12-posix)
    include(${CMAKE_CURRENT_LIST_DIR}/windows/RuntimeDlls.cmake)
")
foreach(plugin IN LISTS plume_plugins)
    cmake_path(GET plugin PARENT_PATH folder)
    install(FILES ${qt_prefix}/plugins/${plugin}.dll DESTINATION ${folder})
endforeach()

# Qt looks for its translations and plugins beside the program, not in the build's prefix.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows/qt.conf DESTINATION .)
find_file(PLUME_QTBASE_JA qtbase_ja.qm
          PATHS ${qt_prefix}/translations /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH)
if(PLUME_QTBASE_JA)
    install(FILES ${PLUME_QTBASE_JA} DESTINATION translations)
else()
    message(WARNING "qtbase_ja.qm not found (apt-get install qt6-translations-l10n): the "
                    "portable folder's Qt dialogs will speak English")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/help/plume.htm DESTINATION help)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows/UserData.ini DESTINATION .)

set(CPACK_PACKAGE_NAME plume)
set(CPACK_PACKAGE_VENDOR Tovari)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME plume-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
