# Shared by scripts/run and scripts/test: Debian packages, configuration and build.

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
    g++-mingw-w64-x86-64
)

# Installs whatever is missing from Debian's packages.
ensure_packages() {
    local missing=()
    local package
    for package in "${KESTROVIX_PACKAGES[@]}"; do
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
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
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
