# Sourced by the checks that run Windows programs under Wine.
#
# wine_session_start DIR makes a private Wine prefix and a private PulseAudio server in
# DIR, with no sound card: the server's only sink writes what is played into a pipe,
# paced by the clock, and a reader copies the pipe into a recording whose length is
# wall-clock time. wine_session_stop ends both and removes DIR.

wine_session_start() {
    session_dir=$1
    mkdir -p "$session_dir/home" "$session_dir/run"
    chmod 700 "$session_dir/run"
    export HOME=$session_dir/home XDG_RUNTIME_DIR=$session_dir/run
    # Wine says nothing, unless KESTROVIX_WINEDEBUG names its channels ("+timestamp,+key").
    export WINEPREFIX=$session_dir/prefix WINEDEBUG=${KESTROVIX_WINEDEBUG:--all}
    # No .NET or HTML engine to install; no ALSA, whose MIDI probe only complains.
    export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv="
    unset PULSE_SERVER

    recording=$session_dir/recording.raw
    mkfifo "$session_dir/run/sink"
    cat "$session_dir/run/sink" > "$recording" &
    recorder_pid=$!
    pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=file:"$session_dir/pulseaudio.log" \
        -L module-native-protocol-unix \
        -L "module-pipe-sink file=$session_dir/run/sink use_system_clock_for_timing=yes format=s16le rate=44100 channels=2 sink_name=recorder"

    # A server that stays up, so that each program starts as quickly as on Windows.
    # A new prefix in which programs fail to start (Wine's status 53: "could not load
    # kernel32.dll") is made once more, after showing why; its errors are in the log.
    local attempt
    for attempt in 1 2; do
        mkdir -p "$WINEPREFIX"
        wineserver -p
        if WINEDEBUG=-all,err+all timeout 300 wineboot -i > "$session_dir/wineboot.log" 2>&1 \
            && timeout 120 wine cmd /c exit 0 >> "$session_dir/wineboot.log" 2>&1; then
            return 0
        fi
        echo "The new Wine prefix $WINEPREFIX does not start programs (attempt $attempt):" >&2
        tail -n 20 "$session_dir/wineboot.log" >&2
        df -h "$session_dir" >&2
        wineserver -k 2>/dev/null || true
        timeout 60 wineserver -w 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    done
    return 1
}

# Shows the end of each log of the session, for a run whose own logs are not kept.
wine_session_show_logs() {
    local log
    for log in "$session_dir"/*.log; do
        [ -s "$log" ] || continue
        echo "-- the end of $(basename "$log"):" >&2
        tail -n 20 "$log" >&2
    done
}

wine_install() {
    # wine would quote an argument with a blank in it, and NSIS then ignores /D=, which
    # must come last and unquoted: a batch file passes the line as it stands.
    cat > "$WINEPREFIX/drive_c/install.bat" <<EOF
start "" /wait "$(winepath -w "$1")" /S /D=C:\\Program Files\\Kestrovix
EOF
    # Every step under Wine has a time limit: a hang must not eat the whole CI run.
    timeout 300 wine cmd /c 'C:\install.bat' > "$session_dir/install.log" 2>&1
}

wine_session_stop() {
    [ -n "${session_dir:-}" ] || return 0
    wineserver -k 2>/dev/null || true
    pulseaudio --kill 2>/dev/null || true
    kill "$recorder_pid" 2>/dev/null || true
    wait "$recorder_pid" 2>/dev/null || true
    rm -rf "$session_dir"
    session_dir=
}

# The recording's length so far, in bytes (44100 frames of 2 × 16 bits a second).
recording_size() {
    stat -c %s "$recording"
}

# sound_report FROM TO: for the recording between those byte offsets, prints how many
# tenths of a second pass until the first sound, and how many tenths have sound: those
# whose loudest sample reaches 1000. The first is -1 when all is silent.
sound_report() {
    local from=$1 to=$2
    tail -c +"$((from + 1))" "$recording" | head -c "$((to - from))" | od -An -v -td2 -w4 \
        | awk '{ level = $1 < 0 ? -$1 : $1; tenth = int((NR - 1) / 4410);
                 if (level > peak[tenth]) peak[tenth] = level; last = tenth }
               END { first = -1; loud = 0;
                     for (t = 0; t <= last; t++) if (peak[t] >= 1000) { loud++; if (first < 0) first = t }
                     print first, loud }'
}
