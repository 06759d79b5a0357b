#!/usr/bin/env bash
# The Windows installer and the installed program, under Wine on the X server this
# runs on (scripts/test-windows gives it a virtual one):
# - a silent install into C:\Program Files\Kestrovix (a path with a blank in it),
#   with every DLL and plug-in the program loads, its media and a Start-menu entry;
# - the installed program, started from another folder, driven by the Linux
#   end-to-end tests, and its tune recorded by a private PulseAudio server;
# - a silent uninstall that leaves no program files behind.
#
#   tests/windows/check-installed.sh INSTALLER LAYOUT_PROBE_EXE LINUX_BUILD_WITH_TESTS
# where the layout probe is the Windows build of tools/layoutprobe: the tests learn
# from it where the Windows program's widgets lie. Beside it lies tools/mog2check.
set -euo pipefail
installer=$(realpath "$1")
probe=$(realpath "$2")
tests=$(realpath "$3")/tests
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-session.sh"
# The logs of Wine and PulseAudio outlive a failed run, beside the installer.
logs=$(dirname "$installer")/wine-logs
failed=0
finish() {
    local status=$?
    if [ "$failed" -ne 0 ] || [ "$status" -ne 0 ]; then
        rm -rf "$logs" && mkdir -p "$logs"
        cp "$session_dir"/*.log "$logs"/ 2>/dev/null || true
        wine_session_show_logs
        echo "The Wine and PulseAudio logs are kept in $logs" >&2
    fi
    wine_session_stop
}
trap finish EXIT
wine_session_start "$(mktemp -d)"
# No window manager runs here: Wine is to draw the windows' frames itself, rather than
# wait in vain, two seconds a window, for one to take a closed window away.
timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1

check() {
    if eval "$2"; then echo "ok   $1"; else echo "FAIL $1" >&2; failed=1; fi
}

program_dir="$WINEPREFIX/drive_c/Program Files/Kestrovix"

echo "-- Silent install"
wine_install "$installer" \
    || { echo "FAIL the silent install ended with status $?" >&2; failed=1; }
for file in kestrovix.exe kestrovix-batch.exe Uninstall.exe resources/bike.avi resources/video3.mp4 resources/background.MP3 \
            Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
            libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll zlib1.dll; do
    check "installed: $file" '[ -f "$program_dir/$file" ]'
done
for pattern in 'libopencv_videoio*.dll' 'libopencv_tracking*.dll' 'libopencv_highgui*.dll' 'libopencv_bgsegm*.dll' \
               'avcodec-*.dll' 'avformat-*.dll' 'avutil-*.dll' 'swscale-*.dll'; do
    check "installed: $pattern" 'compgen -G "$program_dir/$pattern" > /dev/null'
done
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kestrovix/Kestrovix.lnk' | head -n 1)
check "a Start-menu entry that starts kestrovix.exe" '[ -n "$shortcut" ] && grep -qa "kestrovix.exe" "$shortcut"'

echo "-- The installed program"
# Started from another folder than its own: it must find its media by itself. The
# tests' own settings are for Linux programs (QT_QPA_PLATFORM=xcb would stop it).
launcher=$session_dir/kestrovix
cat > "$launcher" <<'EOF'
#!/bin/sh
unset QT_QPA_PLATFORM
cd "$HOME"
exec wine 'C:\Program Files\Kestrovix\kestrovix.exe' "$@"
EOF
# The probe runs beside the installed program, for a moment, so that it loads the
# same DLLs and plug-ins and lays the window out as the program does.
layout_probe=$session_dir/layoutprobe
cat > "$layout_probe" <<EOF
#!/bin/sh
unset QT_QPA_PLATFORM
cp "$probe" "$program_dir/layoutprobe.exe"
timeout 120 wine 'C:\Program Files\Kestrovix\layoutprobe.exe' 2>/dev/null
rm -f "$program_dir/layoutprobe.exe"
EOF
batch_launcher=$session_dir/kestrovix-batch
cat > "$batch_launcher" <<'EOF'
#!/bin/sh
cd "$HOME"
exec wine 'C:\Program Files\Kestrovix\kestrovix-batch.exe' "$@"
EOF
chmod +x "$launcher" "$layout_probe" "$batch_launcher"
export KESTROVIX_PROGRAM_UNDER_TEST=$launcher KESTROVIX_LAYOUT_PROBE=$layout_probe KESTROVIX_PROGRAM_UNDER_WINE=1
export KESTROVIX_BATCH_UNDER_TEST=$batch_launcher
export KESTROVIX_SOUND_RECORDING=$recording QT_QPA_PLATFORM=xcb
run_test() {
    if timeout 1200 "$tests/$1" "${@:2}"; then echo "ok   $*"; else echo "FAIL $*" >&2; failed=1; fi
}
echo "-- The installed console program"
batch_out=$session_dir/batch
mkdir -p "$batch_out/windows" "$batch_out/linux"
cp "$program_dir/resources/bike.avi" "$batch_out/street.avi"
timeout 300 "$batch_launcher" --quiet --identities --out "$batch_out/windows" "$batch_out/street.avi" \
    > "$session_dir/batch.log" 2>&1 || true
"$tests/../kestrovix-batch" --quiet --identities --out "$batch_out/linux" "$batch_out/street.avi"
check "kestrovix-batch.exe keeps the rows the Linux program does" \
    '[ -s "$batch_out/linux/street.boxes.csv" ] && cmp -s "$batch_out/windows/street.boxes.csv" "$batch_out/linux/street.boxes.csv"'
check "kestrovix-batch.exe writes its summary" 'grep -q "\"complete\"" "$batch_out/windows/street.summary.json"'

echo "-- The MOG2 model's masks under Windows"
cp "$(dirname "$probe")/mog2check.exe" "$program_dir/"
mog2_status=0
(cd "$program_dir" && timeout 600 wine mog2check.exe resources/bike.avi resources/video3.mp4) \
    > "$session_dir/mog2check.log" 2> /dev/null || mog2_status=$?
rm -f "$program_dir/mog2check.exe"
echo "$(grep -c '^same' "$session_dir/mog2check.log" || true) cases with the same masks, in lanes of" \
    "$(tr -d '\r' < "$session_dir/mog2check.log" | sed -n 's/.*, \([0-9]*\) lanes$/\1/p' | sort -nu | paste -sd ' ')"
grep -v '^same' "$session_dir/mog2check.log" >&2 || true
check "the program's MOG2 masks are OpenCV's in every lane width" '[ "$mog2_status" -eq 0 ]'

# KESTROVIX_WINE_TESTS may name some of its test functions, to run only those.
run_test tst_endtoend ${KESTROVIX_WINE_TESTS:-}
run_test tst_backgroundaudio soundStartsOnTheFirstClickAndTheProgramEndsWhenClosed

echo "-- Silent uninstall"
timeout 120 wine 'C:\Program Files\Kestrovix\Uninstall.exe' /S > "$session_dir/uninstall.log" 2>&1 || true
# The uninstaller runs a copy of itself from the temporary folder and returns at once.
for _ in $(seq 60); do
    [ -e "$program_dir" ] || break
    sleep 0.5
done
check "uninstalled: no program files left" '[ ! -e "$program_dir" ]'
check "uninstalled: no Start-menu entry left" '[ ! -e "$shortcut" ]'
exit $failed
