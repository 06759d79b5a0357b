# Cross-compiling for 64-bit Windows with Debian's mingw-w64, POSIX-threads variant
# (std::thread and OpenCV's pthreads parallel framework need it).
#
# Libraries are searched for in the mingw root and, when the environment names it,
# in the folder the Windows libraries were built into (windows/build-libraries.sh).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${MINGW_TRIPLE}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
if(DEFINED ENV{KESTROVIX_WINDOWS_LIBRARIES})
    list(APPEND CMAKE_FIND_ROOT_PATH $ENV{KESTROVIX_WINDOWS_LIBRARIES})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
