#!/usr/bin/env bash
# The Windows sound back end, built from our sources and run under Wine from a folder
# whose path has a space, as an installed program's would:
# - a missing tune opens nothing, and the loop carries on period after period;
# - the tune is heard: a 6 s run has at least 4 s of sound, starting within 1.5 s.
#
#   tests/windows/check-sound.sh PLAYBACKGROUND_EXE TUNE
# where the program reads its media from "C:/Program Files/Kestrovix/resources".
set -euo pipefail
exe=$1
tune=$2
source "$(dirname "$0")/wine-session.sh"
export DISPLAY=  # sound needs no window
trap wine_session_stop EXIT
wine_session_start "$(mktemp -d)"
resources="$WINEPREFIX/drive_c/Program Files/Kestrovix/resources"
mkdir -p "$resources"
failed=0
check() {
    if eval "$2"; then echo "ok   $1"; else echo "FAIL $1" >&2; failed=1; fi
}

# A process that exits with an MP3 open dies by SIGSEGV under Wine: its status says nothing.
from=$(recording_size)
periods=$( (wine "$exe" 4 1000) 2>/dev/null | tr -d '\r' | grep -c '^period [0-9]*: not opened$' || true)
read -r first loud < <(sound_report "$from" "$(recording_size)")
check "without the tune, one period after another ($periods) opens nothing" '[ "$periods" -ge 2 ]'
check "without the tune, silence ($loud tenths of sound)" '[ "$loud" -eq 0 ]'

cp "$tune" "$resources/background.MP3"
start_file=$session_dir/start
(wine "$exe" 6) 2>/dev/null | { read -r _ && recording_size > "$start_file"; cat > /dev/null; } || true
read -r first loud < <(sound_report "$(cat "$start_file")" "$(recording_size)")
check "the tune starts within 1.5 s (after $first tenths)" '[ "$first" -ge 0 ] && [ "$first" -le 15 ]'
check "a 6 s run has at least 4 s of sound ($loud tenths)" '[ "$loud" -ge 40 ]'
exit $failed
