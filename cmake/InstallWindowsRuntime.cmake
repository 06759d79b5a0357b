# Run at install time of the Windows program: copies every DLL that the installed
# binaries load, and the DLLs those load in turn, from the library folders into the
# program's folder. DLLs found in none of the folders belong to Windows itself.
#
# Expects: KX_BINARIES (installed executables and plug-ins), KX_SEARCH_DIRS, KX_DESTINATION
# and KX_OBJDUMP. (CMake's own resolver refuses to run when cross-compiling, and
# lower-cases the names it looks for, which a Linux file system does not forgive.)

# Every DLL in the search folders, by lower-cased name: Windows ignores case, so
# "zlib1.dll" and "ZLIB1.DLL" are the same import.
set(available "")
foreach(dir IN LISTS KX_SEARCH_DIRS)
    file(GLOB dlls "${dir}/*.dll" "${dir}/*.DLL")
    foreach(dll IN LISTS dlls)
        get_filename_component(name "${dll}" NAME)
        string(TOLOWER "${name}" key)
        if(NOT DEFINED path_of_${key})
            set(path_of_${key} "${dll}")
        endif()
    endforeach()
endforeach()

set(pending ${KX_BINARIES})
set(copied "")
while(pending)
    list(POP_FRONT pending binary)
    execute_process(COMMAND "${KX_OBJDUMP}" -p "${binary}"
                    OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot read the imports of ${binary}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: " "" name "${import}")
        string(STRIP "${name}" name)
        string(TOLOWER "${name}" key)
        list(FIND copied "${key}" seen)
        if(NOT DEFINED path_of_${key} OR seen GREATER -1)
            continue()
        endif()
        list(APPEND copied ${key})
        file(INSTALL "${path_of_${key}}" DESTINATION "${KX_DESTINATION}")
        list(APPEND pending "${path_of_${key}}")
    endforeach()
endwhile()
