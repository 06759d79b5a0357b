#!/usr/bin/env bash
# bench_pieces of the Windows build, run beside the installed program under Wine, on
# the X server this runs on:
#
#   xvfb-run -a -s "-screen 0 1920x1080x24" bench/bench-pieces-wine.sh \
#       build-windows/kestrovix-*-win64.exe build-windows/bench/bench_pieces.exe build/bench/media [repetitions]
#
# The media are the synthetic scene the Linux build's bench_pieces makes (run it once
# first); the Windows build has no generator of its own.
set -euo pipefail
installer=$(realpath "$1")
bench=$(realpath "$2")
media=$(realpath "$3")
repetitions=${4:-5}
source "$(cd "$(dirname "$0")/../tests/windows" && pwd)/wine-session.sh"
trap wine_session_stop EXIT
wine_session_start "$(mktemp -d)"
timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1
wine_install "$installer" || { echo "bench-pieces-wine: the silent install failed" >&2; exit 1; }

# Beside the program, so that it loads the same DLLs and plug-ins.
cp "$bench" "$WINEPREFIX/drive_c/Program Files/Kestrovix/bench_pieces.exe"
unset QT_QPA_PLATFORM
KESTROVIX_BENCH_MEDIA=$(winepath -w "$media") wine 'C:\Program Files\Kestrovix\bench_pieces.exe' "$repetitions"
