# FFmpeg for OpenCV's video input, found through pkg-config in the prefix that
# PKG_CONFIG_LIBDIR names. OpenCV only asks pkg-config itself on Unix hosts, and on
# Windows would otherwise download a prebuilt FFmpeg.
#
# Sets FFMPEG_FOUND, FFMPEG_INCLUDE_DIRS, FFMPEG_LIBRARIES and FFMPEG_<library>_VERSION,
# the names OpenCV's videoio module reads.

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
    pkg_check_modules(FFMPEG QUIET libavcodec libavformat libavutil libswscale)
endif()
if(FFMPEG_FOUND)
    set(FFMPEG_LIBRARIES ${FFMPEG_LINK_LIBRARIES})
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(FFMPEG REQUIRED_VARS FFMPEG_LIBRARIES FFMPEG_INCLUDE_DIRS)
