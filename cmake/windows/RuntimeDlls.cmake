# Copies into the install folder every DLL that the given programs and plugins load, and the
# DLLs those load in turn, from the given folders (Qt's, mingw-w64's). Windows' own DLLs are in
# none of the folders and stay out. Run at install time with PLUME_OBJDUMP, PLUME_BINARIES and
# PLUME_DLL_DIRS set (PLUME_STRIP, when set, strips the copies).
set(queue ${PLUME_BINARIES})
set(seen "")
set(copied "")
while(queue)
    list(POP_FRONT queue binary)
    execute_process(COMMAND ${PLUME_OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REPLACE "DLL Name: " "" name "${import}")
        string(TOLOWER "${name}" key)
        if(key IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${key})
        foreach(dir IN LISTS PLUME_DLL_DIRS)
            if(EXISTS ${dir}/${name})
                list(APPEND queue ${dir}/${name})
                list(APPEND copied ${dir}/${name})
                break()
            endif()
        endforeach()
    endforeach()
endwhile()
file(INSTALL ${copied} DESTINATION ${CMAKE_INSTALL_PREFIX})
# The toolchain's DLLs carry their symbols (libstdc++ alone is 23 MB with them).
if(PLUME_STRIP)
    foreach(dll IN LISTS copied)
        cmake_path(GET dll FILENAME name)
        execute_process(COMMAND ${PLUME_STRIP} --strip-unneeded ${CMAKE_INSTALL_PREFIX}/${name}
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()
