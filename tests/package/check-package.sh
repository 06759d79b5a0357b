#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine with apt-get, and checks
# that the installed programs start and work, using the end-to-end tests against
# /usr/bin/kestrovix and /usr/bin/kestrovix-batch. Removes the package again at the end, and puts
# back a kestrovix that was installed before, as it was.
#
#   tests/package/check-package.sh <build-dir-with-tests>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/common.sh"
tests_build=${1:-$root/build}
package_build=$root/build-package

cmake -S "$root" -B "$package_build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKESTROVIX_FOR_INSTALL=ON -DBUILD_TESTING=OFF
cmake --build "$package_build" -j "$(nproc)" --target kestrovix kestrovix-batch
(cd "$package_build" && rm -f kestrovix_*.deb && cpack -G DEB)
deb=$(ls "$package_build"/kestrovix_*.deb)

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libopencv-contrib406 libopencv-videoio406 libsdl2-mixer-2.0-0 qt6-qpa-plugins; do
    case "$depends" in
        *"$needed"*) ;;
        *) echo "the package does not depend on $needed" >&2; exit 1 ;;
    esac
done

if [ "$(id -u)" -ne 0 ]; then
    echo "Installing the package needs root; skipped. As root: apt-get install $deb"
    exit 0
fi

installed() { dpkg-query -W -f='${Status}' kestrovix 2>/dev/null | grep -q 'install ok installed'; }
previous_dir=$(mktemp -d)
previous=
if installed; then
    command -v dpkg-repack >/dev/null || apt_get install -y -qq dpkg-repack
    (cd "$previous_dir" && dpkg-repack kestrovix >/dev/null)
    previous=$(ls "$previous_dir"/kestrovix_*.deb)
    echo "Set aside the kestrovix installed before: $(basename "$previous")"
    apt_get remove -y -qq kestrovix >/dev/null
fi
cleanup() {
    apt_get remove -y -qq kestrovix >/dev/null 2>&1 || true
    if [ -n "$previous" ]; then
        apt_get install -y -qq "$previous" >/dev/null && echo "Put back $(basename "$previous")"
    fi
    rm -rf "$previous_dir"
}
trap cleanup EXIT
apt_get install -y -qq "$deb"

for file in /usr/bin/kestrovix /usr/bin/kestrovix-batch /usr/share/kestrovix/bike.avi /usr/share/kestrovix/video3.mp4 \
            /usr/share/kestrovix/background.MP3 /usr/share/applications/kestrovix.desktop \
            /usr/share/icons/hicolor/scalable/apps/kestrovix.svg; do
    [ -e "$file" ] || { echo "missing after install: $file" >&2; exit 1; }
done
desktop-file-validate /usr/share/applications/kestrovix.desktop

export KESTROVIX_PROGRAM_UNDER_TEST=/usr/bin/kestrovix KESTROVIX_BATCH_UNDER_TEST=/usr/bin/kestrovix-batch
export QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy
run_in_desktop_session "$tests_build/tests/tst_backgroundaudio" soundStartsOnTheFirstClickAndTheProgramEndsWhenClosed
run_in_desktop_session "$tests_build/tests/tst_endtoend"
run_in_desktop_session "$tests_build/tests/tst_batch"
echo "The package installs, and the installed program starts and works."
