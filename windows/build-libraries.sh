#!/usr/bin/env bash
# Builds the libraries the Windows program needs (FFmpeg, Qt's base modules, OpenCV
# with its tracking module) from Debian's own source packages, at the versions the
# Linux build uses, with mingw-w64. Everything goes into a cache outside the work tree.
# Each library has its own folder there, keyed by its version, the compiler and its
# build options (and, for OpenCV, FFmpeg's key); a complete one is reused.
#
#   windows/build-libraries.sh     prints a folder that holds qt/, ffmpeg/ and opencv/
#
# A library counts as built only once its ".complete" mark is written, after its
# install; anything found without the mark is thrown away and built again.
set -euo pipefail
# A failure inside $(...) ends the script too, rather than being lost in the assignment.
shopt -s inherit_errexit

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
toolchain=$root/cmake/mingw-w64-x86_64.cmake
triple=x86_64-w64-mingw32
jobs=$(nproc)

log() { echo "[windows libraries] $*" >&2; }

source_version() {
    dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null \
        || { log "$1 is not installed: it tells which source version to build"; exit 1; }
}
qt_version=$(source_version libqt6core6)
opencv_version=$(source_version libopencv-core406)
ffmpeg_version=$(source_version libavcodec59)
gcc_version=$($triple-gcc-posix -dumpversion)

cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrovix/windows
sources=$cache/sources
work=$cache/work
# Where the toolchain file lets CMake look for libraries, besides the mingw root.
export KESTROVIX_WINDOWS_LIBRARIES=$cache


# Whether every file a source package's .dsc names is in the sources folder, whole: its
# SHA-256 as the .dsc gives it. A download cut off half way is thus never taken as done.
sources_complete() {
    local dsc=$1 sum size file listed=0
    [ -f "$dsc" ] || return 1
    while read -r sum size file; do
        listed=1
        [ -f "$sources/$file" ] || return 1
        echo "$sum  $sources/$file" | sha256sum --quiet -c - >/dev/null 2>&1 || return 1
    done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$dsc")
    [ "$listed" -eq 1 ]
}

# apt-get source from a private list of deb-src entries, made from the machine's own
# Debian entries, so that the machine's apt configuration stays as it is. apt checks
# every file against the signed package lists as it downloads it.
fetch_sources() {
    local package=$1 version=$2
    local dsc=$sources/${package}_${version#*:}.dsc
    sources_complete "$dsc" && return
    rm -f "$dsc"
    local apt=$sources/apt
    mkdir -p "$apt/lists/partial" "$apt/parts"
    : > "$apt/sources.list"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$apt/parts/debian.sources"
    fi
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' /etc/apt/sources.list > "$apt/sources.list"
    fi
    local options=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o "Dir::Etc::sourceparts=$apt/parts"
                   -o "Dir::State::Lists=$apt/lists" -o "APT::Sandbox::User=root")
    if [ ! -f "$apt/.updated" ] || ! (cd "$sources" && apt-get "${options[@]}" source --download-only "$package=$version" >/dev/null 2>&1); then
        apt-get "${options[@]}" update -qq
        touch "$apt/.updated"
        (cd "$sources" && apt-get "${options[@]}" source --download-only "$package=$version" >/dev/null)
    fi
    sources_complete "$dsc" || { log "the sources of $package $version are incomplete after download"; exit 1; }
}

# Unpacks a source package (with Debian's patches) into a fresh work folder; prints it.
unpack() {
    local package=$1 version=$2
    fetch_sources "$package" "$version"
    rm -rf "${work:?}/$package"
    mkdir -p "$work/$package"
    (cd "$work/$package" && logged "$package-unpack" dpkg-source -x "$sources/${package}_${version#*:}.dsc" src)
    echo "$work/$package/src"
}

# Runs a build step with its output in a log, shown only when it fails.
logged() {
    local name=$1
    shift
    if ! "$@" > "$work/$name.log" 2>&1; then
        tail -n 60 "$work/$name.log" >&2
        log "$name failed; the whole log is $work/$name.log"
        exit 1
    fi
}

build_ffmpeg() {
    local prefix=$1 src
    src=$(unpack ffmpeg "$ffmpeg_version")
    # Every native decoder, demuxer and parser: users' videos come in many codecs. The
    # network protocols, for streams (https through Windows' own TLS). The encoders and
    # muxers of the two formats a run can be recorded in. No filters and no devices.
    (cd "$src" && logged ffmpeg-configure ./configure --prefix="$prefix" \
        --target-os=mingw32 --arch=x86_64 --enable-cross-compile --cross-prefix=$triple- \
        --cc=$triple-gcc-posix --cxx=$triple-g++-posix \
        --enable-shared --disable-static --enable-w32threads --disable-pthreads \
        --disable-autodetect --enable-zlib --enable-schannel \
        --disable-programs --disable-doc --disable-avdevice --disable-avfilter \
        --disable-postproc --disable-swresample --disable-encoders --disable-muxers \
        --enable-encoder=mjpeg,mpeg4 --enable-muxer=avi,mp4 \
        --disable-devices --disable-outdevs --disable-indevs --disable-filters --disable-debug)
    # configure quietly drops what it cannot build: make sure that what the program
    # needs is in.
    local component
    for component in FILE_PROTOCOL HTTP_PROTOCOL HTTPS_PROTOCOL TCP_PROTOCOL UDP_PROTOCOL RTP_PROTOCOL \
                     RTSP_DEMUXER MJPEG_ENCODER MPEG4_ENCODER AVI_MUXER MP4_MUXER; do
        grep -q "^#define CONFIG_$component 1" "$src/config_components.h" \
            || { log "FFmpeg was configured without $component"; exit 1; }
    done
    (cd "$src" && logged ffmpeg-build make -j"$jobs" && logged ffmpeg-install make install)
}

build_qt() {
    local prefix=$1 src
    src=$(unpack qt6-base "$qt_version")
    (cd "$src" && patch -s -p1 < "$here/qtbase-directwrite-needs-direct2d.patch")
    # Core, Gui, Widgets, the windows platform plug-in and the windowsvista style; the
    # host's moc, uic and rcc. Debian's repack has no wintab, hence no tablet events.
    logged qt-configure cmake -S "$src" -B "$work/qt6-base/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DINPUT_opengl=no \
        -DFEATURE_testlib=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
        -DFEATURE_vulkan=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
        -DFEATURE_freetype=OFF -DFEATURE_fontconfig=OFF -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
    logged qt-build cmake --build "$work/qt6-base/build" -j "$jobs"
    logged qt-install cmake --install "$work/qt6-base/build"
}

build_opencv() {
    local prefix=$1 ffmpeg=$2 src
    src=$(unpack opencv "$opencv_version")
    # Debian's repack has no 3rdparty/ folder: every library OpenCV would bundle is off,
    # and the image codecs with them (the program reads only videos).
    PKG_CONFIG_LIBDIR=$ffmpeg/lib/pkgconfig logged opencv-configure \
        cmake -S "$src" -B "$work/opencv/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_MODULE_PATH="$here" \
        -DOPENCV_EXTRA_MODULES_PATH="$src/contrib/modules" \
        -DBUILD_LIST=core,imgproc,imgcodecs,videoio,highgui,video,plot,tracking,flann,features2d,calib3d,bgsegm \
        -DBUILD_SHARED_LIBS=ON -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF \
        -DBUILD_opencv_apps=OFF -DBUILD_JAVA=OFF -DBUILD_opencv_python3=OFF -DBUILD_DOCS=OFF \
        -DWITH_WIN32UI=ON -DWITH_QT=OFF -DWITH_GTK=OFF -DWITH_OPENGL=OFF \
        -DWITH_FFMPEG=ON -DOPENCV_FFMPEG_SKIP_DOWNLOAD=ON -DOPENCV_FFMPEG_USE_FIND_PACKAGE=FFMPEG \
        -DWITH_MSMF=OFF -DWITH_DSHOW=ON -DWITH_OBSENSOR=OFF \
        -DHAVE_PTHREAD=1 -DWITH_PTHREADS_PF=ON \
        -DBUILD_ZLIB=OFF -DWITH_PNG=OFF -DWITH_JPEG=OFF -DWITH_TIFF=OFF -DWITH_WEBP=OFF \
        -DWITH_OPENJPEG=OFF -DWITH_JASPER=OFF -DWITH_OPENEXR=OFF -DWITH_IMGCODEC_HDR=OFF \
        -DWITH_IPP=OFF -DWITH_ITT=OFF -DWITH_OPENCL=OFF -DWITH_PROTOBUF=OFF -DWITH_EIGEN=OFF \
        -DWITH_LAPACK=OFF -DWITH_ADE=OFF -DWITH_QUIRC=OFF -DWITH_VTK=OFF -DWITH_1394=OFF \
        -DWITH_GSTREAMER=OFF -DWITH_CAROTENE=OFF -DWITH_FLATBUFFERS=OFF \
        -DOPENCV_GENERATE_PKGCONFIG=OFF
    # CMake quietly leaves out what it cannot build: make sure that what the program
    # needs is in. (Media Foundation needs Microsoft's WRL, which mingw-w64 lacks.)
    grep -q "FFMPEG:.*YES" "$work/opencv-configure.log" \
        || { log "OpenCV was configured without FFmpeg"; exit 1; }
    grep -q "DirectShow:.*YES" "$work/opencv-configure.log" \
        || { log "OpenCV was configured without a camera back end (DirectShow)"; exit 1; }
    local module
    for module in tracking bgsegm; do
        grep -q "To be built:.* $module\b" "$work/opencv-configure.log" \
            || { log "OpenCV was configured without its $module module"; exit 1; }
    done
    logged opencv-build cmake --build "$work/opencv/build" -j "$jobs"
    logged opencv-install cmake --install "$work/opencv/build"
}

# key NAME VERSION [FILES...]: the cache folder name of a library: its version, the
# compiler, and a digest of its build function (without comments, so that a comment
# costs no rebuild), the unpacking, the toolchain file and the files named.
key() {
    local name=$1 version=$2
    shift 2
    local digest
    digest=$( (declare -f unpack "build_$name"; grep -hv '^#' "$toolchain" "$@") | sha256sum | cut -c1-12)
    echo "$name-${version#*:}-gcc$gcc_version-$digest"
}
ffmpeg_key=$(key ffmpeg "$ffmpeg_version")
qt_key=$(key qt "$qt_version" "$here/qtbase-directwrite-needs-direct2d.patch")

mkdir -p "$sources" "$work"
# One build at a time: two would share the work folder.
exec 9> "$cache/.lock"
flock 9

# build NAME KEY [ARGUMENTS...]: builds a library into its cache folder unless it is there.
build() {
    local name=$1 prefix=$cache/$2
    shift 2
    [ -f "$prefix/.complete" ] && return
    log "building $name into $prefix (this takes a while the first time)"
    local started=$SECONDS
    rm -rf "$prefix"
    "build_$name" "$prefix" "$@"
    touch "$prefix/.complete"
    log "$name built in $(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s"
}
build ffmpeg "$ffmpeg_key"
build qt "$qt_key"
# OpenCV loads FFmpeg's DLLs by name: a new build of FFmpeg that keeps their names (a
# security update) needs no new OpenCV.
ffmpeg_dlls=$(cd "$cache/$ffmpeg_key/bin" && ls ./*.dll | tr '\n' ' ')
opencv_key=$(key opencv "$opencv_version" "$here/FindFFMPEG.cmake")-$(echo "$ffmpeg_dlls" | sha256sum | cut -c1-8)
build opencv "$opencv_key" "$cache/$ffmpeg_key"
rm -rf "$work"

# The three, side by side, for the program's build.
libraries=$cache/set-$(echo "$ffmpeg_key $qt_key $opencv_key" | sha256sum | cut -c1-12)
mkdir -p "$libraries"
ln -sfn "../$ffmpeg_key" "$libraries/ffmpeg"
ln -sfn "../$qt_key" "$libraries/qt"
ln -sfn "../$opencv_key" "$libraries/opencv"
echo "$libraries"
