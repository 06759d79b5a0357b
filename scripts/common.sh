# Shared by the scripts: Debian packages, configuration and build.

KESTROVIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

KESTROVIX_PACKAGES=(
    cmake g++ pkg-config dpkg-dev desktop-file-utils
    qt6-base-dev qt6-qpa-plugins
    libopencv-dev libopencv-contrib-dev
    libsdl2-mixer-dev
    libmp3lame-dev
    libbenchmark-dev
    fonts-wqy-microhei
    xvfb xauth xdotool dbus-daemon
)

# The tests serve streams with ffmpeg. They also build the Windows sound code and play
# it under Wine, recorded by a private PulseAudio server (Wine decodes MP3 through
# GStreamer). The console program's progress is watched in tmux, and its jobs run on a
# single-node Slurm with munge, which the test starts itself.
KESTROVIX_TEST_PACKAGES=(
    ffmpeg
    g++-mingw-w64-x86-64
    wine64 wine gstreamer1.0-plugins-good pulseaudio
    tmux slurm-wlm munge
)

# The Windows program: its libraries built from Debian's sources with mingw-w64, the
# host's Qt tools, and the NSIS installer.
KESTROVIX_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix make nasm ninja-build libz-mingw-w64-dev
    qt6-base-dev-tools nsis
)

# ensure_packages [more packages...]: installs whatever is missing of the program's
# packages and those named.
ensure_packages() {
    local missing=()
    local package
    for package in "${KESTROVIX_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Some packages are missing. Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}"
    apt_get update -qq
    apt_get install -y -qq "${missing[@]}"
}

# apt-get that waits its turn: a fresh machine often runs its automatic upgrades just
# after boot. apt waits for dpkg's lock when asked to, but not for the package lists'
# lock, so a command that found a lock taken is tried again, for up to ten minutes.
apt_get() {
    local errors waited=0
    errors=$(mktemp)
    until DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@" 2> "$errors"; do
        cat "$errors" >&2
        if ! grep -q "Could not get lock" "$errors" || [ "$waited" -ge 600 ]; then
            rm -f "$errors"
            return 1
        fi
        echo "Another package manager is at work; waiting for it." >&2
        sleep 10
        waited=$((waited + 10))
    done
    cat "$errors" >&2
    rm -f "$errors"
}

# build_tree DIR [cmake options...]: configures and builds the project in DIR.
build_tree() {
    local dir=$1
    shift
    cmake -S "$KESTROVIX_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j "$(nproc)"
}

# Runs a command as in a desktop session: a virtual X server and a session bus. Without
# a bus, libraries that look for one (SDL does, when it opens audio) fork a process to
# start it; in a sanitizer build that child can hang and keep the program's windows alive.
run_in_desktop_session() {
    dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
}
