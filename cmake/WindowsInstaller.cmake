# The Windows program's installation: everything in the folder the user chooses (the
# program, its media, every DLL it loads and Qt's plug-ins), and an NSIS installer
# with a Start-menu entry and an uninstaller.

# Qt finds its plug-ins in these folders beside the program.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

# Folders the DLLs come from: Qt's, OpenCV's, those named by the build (FFmpeg's),
# and the compiler's (C++ runtime, threads, zlib).
set(KESTROVIX_RUNTIME_DIRS "" CACHE STRING "More folders that hold DLLs the Windows program loads")
set(runtime_dirs $<TARGET_FILE_DIR:Qt6::Core> $<TARGET_FILE_DIR:opencv_core> ${KESTROVIX_RUNTIME_DIRS})
foreach(dll libstdc++-6.dll libwinpthread-1.dll zlib1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${found}")
        get_filename_component(found_dir "${found}" DIRECTORY)
        list(APPEND runtime_dirs "${found_dir}")
    endif()
endforeach()
if(NOT CMAKE_OBJDUMP)
    find_program(CMAKE_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
endif()
install(CODE "
    set(KX_BINARIES \"$<TARGET_FILE:kestrovix>;$<TARGET_FILE:kestrovix-batch>;$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>;$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>\")
    set(KX_SEARCH_DIRS \"${runtime_dirs}\")
    set(KX_DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
    set(KX_OBJDUMP \"${CMAKE_OBJDUMP}\")
    include(\"${CMAKE_CURRENT_LIST_DIR}/InstallWindowsRuntime.cmake\")
")

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_FILE_NAME "kestrovix-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Kestrovix")
set(CPACK_PACKAGE_EXECUTABLES kestrovix "Kestrovix")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# A 64-bit program belongs in the 64-bit Program Files, by a 64-bit installer.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "Kestrovix")
set(CPACK_NSIS_PACKAGE_NAME "Kestrovix")
set(CPACK_NSIS_MUI_ICON "${CMAKE_SOURCE_DIR}/app/kestrovix.ico")
set(CPACK_NSIS_MUI_UNIICON "${CMAKE_SOURCE_DIR}/app/kestrovix.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME kestrovix.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
