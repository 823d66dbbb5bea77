#!/usr/bin/env bash
# Start-up to the tray, idle memory and idle wake-ups of the real program, on a private
# X server with a tray host, with a simulated tablet.
#
#   bench/startup_idle.sh [PROGRAM]        PROGRAM defaults to build/bin/Inkora
#   RUNS=5 SETTLE=30 WINDOW=20 bench/startup_idle.sh build-rel/bin/Inkora
#   FLOOR=build/bench/bench_trayfloor   the floor program (default: beside PROGRAM's
#                                        build, bench/bench_trayfloor; FLOOR= skips it)
#
# Each run starts "PROGRAM /mini --simulate" with a fresh HOME, XDG_CONFIG_HOME and
# XDG_RUNTIME_DIR (so every run is a first start that copies the default profile) and
# takes two times from the exec (before it, the floor program, a Qt Widgets program that
# only shows a tray icon, is started the same way and its icon timed the same way):
#   icon docked  the program's tray icon window is reparented into the tray host: seen
#                on the X server's root (xev, substructure events), stamped as it comes
#   log line     "Tray icon created, system tray available: true" is in the log file
#                (looked for every 10 ms, so up to 10 ms late)
# The last run then stays idle SETTLE seconds; over the next WINDOW seconds it reads
# VmRSS/VmHWM, the CPU time (/proc/PID/task/*/schedstat: ns on a CPU; the clock ticks
# of .../stat are 10 ms, a sixth of the target over a minute) and the growth of
# voluntary + involuntary context switches of every thread (/proc/PID/task/*/status):
# each switch away and back is a wake-up.
# A session bus of its own stands for the logon session's (without one the program's
# D-Bus use would start one through X11 autolaunch on the first run only).
# Last, SHOW_RUNS starts without "/mini" are timed to the settings window on screen.
# Needs Xvfb, trayer, xev, xwininfo, xprop, xdpyinfo, dbus-daemon. Prints Markdown tables.
set -u

BIN=${1:-build/bin/Inkora}
RUNS=${RUNS:-5}
SETTLE=${SETTLE:-30}
WINDOW=${WINDOW:-20}
TIMEOUT_S=30

for tool in Xvfb trayer xev xwininfo xprop xdpyinfo dbus-daemon; do
    command -v "$tool" >/dev/null || { echo "startup_idle: $tool is missing" >&2; exit 2; }
done
[ -x "$BIN" ] || { echo "startup_idle: no program at $BIN" >&2; exit 2; }
BIN=$(cd "$(dirname "$BIN")" && pwd)/$(basename "$BIN")
FLOOR=${FLOOR-$(dirname "$BIN")/../bench/bench_trayfloor}
if [ -n "$FLOOR" ] && [ ! -x "$FLOOR" ]; then
    echo "startup_idle: no floor program at $FLOOR (build bench_trayfloor, or FLOOR= to skip it)" >&2
    exit 2
fi

# shellcheck source=bench/desktop.sh
. "$(dirname "$0")/desktop.sh"
bench_desktop startup_idle 90
ROOT=$(xwininfo -root | awk '/Window id:/ {print $4}')

trayer --edge bottom --align right --widthtype request --height 32 --SetDockType false >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do
    xwininfo -root -tree 2>/dev/null | grep -qi '"panel"\|trayer' && break
    sleep 0.1
done
sleep 0.5

# Root substructure events, each line stamped with the wall clock as it arrives.
XEV_LOG=$WORK/xev.log
(stdbuf -oL xev -root -event substructure 2>/dev/null | while IFS= read -r line; do
    printf '%s %s\n' "$EPOCHREALTIME" "$line"
done) >"$XEV_LOG" &
PIDS+=($!)
sleep 0.5

# Seconds (float) of the first ReparentNotify after $1 whose new parent is not the root;
# empty while there is none.
docked_at() {
    local since=$1 stamp="" reparent=0 line
    local -a lines
    mapfile -t lines <"$XEV_LOG"
    for line in "${lines[@]}"; do
        if [[ $line == *"ReparentNotify event"* ]]; then
            stamp=${line%% *}
            reparent=1
        elif ((reparent)) && [[ $line == *" parent "* ]]; then
            reparent=0
            local parent=${line##*parent }
            parent=${parent%%,*}
            if [[ $parent != "$ROOT" ]] && awk -v a="$stamp" -v b="$since" 'BEGIN { exit !(a > b) }'; then
                echo "$stamp"
                return
            fi
        fi
    done
}

log_has() {
    local -a lines
    [ -f "$1" ] || return 1
    mapfile -t lines <"$1"
    [[ "${lines[*]}" == *"$2"* ]]
}

# SIGTERM, as a logout ends the program; SIGKILL after 10 s so the script never hangs.
stop_program() {
    kill -TERM "$1" 2>/dev/null
    for _ in $(seq 1000); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.01
    done
    kill -0 "$1" 2>/dev/null && { echo "startup_idle: no exit 10 s after SIGTERM, killed" >&2; kill -KILL "$1"; }
    wait "$1" 2>/dev/null
}

ms_between() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'
}

ICON_MS=()
LOG_MS=()
FLOOR_MS=()
PID=
for run in $(seq "$RUNS"); do
    if [ -n "$FLOOR" ]; then
        T0=$EPOCHREALTIME
        "$FLOOR" >/dev/null 2>&1 &
        FPID=$!
        PIDS+=($FPID)
        ICON=
        deadline=$((SECONDS + TIMEOUT_S))
        while [ $SECONDS -lt $deadline ] && [ -z "$ICON" ]; do
            ICON=$(docked_at "$T0")
            [ -z "$ICON" ] && sleep 0.01
        done
        [ -n "$ICON" ] || { echo "startup_idle: floor run $run: tray icon not seen" >&2; exit 1; }
        FLOOR_MS+=("$(ms_between "$T0" "$ICON")")
        stop_program "$FPID"
        sleep 0.2
    fi
    HOME_DIR=$WORK/run$run
    mkdir -p "$HOME_DIR/config" "$HOME_DIR/runtime"
    chmod 700 "$HOME_DIR/runtime"
    LOG_FILE="$HOME_DIR/config/Inkora V3/log.txt"
    T0=$EPOCHREALTIME
    HOME=$HOME_DIR XDG_CONFIG_HOME=$HOME_DIR/config XDG_RUNTIME_DIR=$HOME_DIR/runtime \
        "$BIN" /mini --simulate >"$HOME_DIR/output.txt" 2>&1 &
    PID=$!
    PIDS+=($PID)
    ICON=
    LOGLINE=
    deadline=$((SECONDS + TIMEOUT_S))
    while [ $SECONDS -lt $deadline ] && { [ -z "$ICON" ] || [ -z "$LOGLINE" ]; }; do
        [ -z "$ICON" ] && ICON=$(docked_at "$T0")
        if [ -z "$LOGLINE" ] && log_has "$LOG_FILE" "Tray icon created, system tray available: true"; then
            LOGLINE=$EPOCHREALTIME
        fi
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.01
    done
    if [ -z "$ICON" ] || [ -z "$LOGLINE" ]; then
        echo "startup_idle: run $run: tray icon not seen (icon '$ICON', log '$LOGLINE'); log:" >&2
        cat "$LOG_FILE" "$HOME_DIR/output.txt" >&2 2>/dev/null
        exit 1
    fi
    ICON_MS+=("$(ms_between "$T0" "$ICON")")
    LOG_MS+=("$(ms_between "$T0" "$LOGLINE")")
    [ "$run" -lt "$RUNS" ] && stop_program "$PID"
done

stats() {
    printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "%d | %d | %d", v[int((NR + 1) / 2)], v[1], v[NR] }'
}

echo "Start-up to the tray, $RUNS runs of $(basename "$BIN") /mini --simulate (first start each)"
echo
echo "| from exec to | median ms | min ms | max ms | runs |"
echo "|---|---|---|---|---|"
echo "| tray icon docked in the tray host | $(stats "${ICON_MS[@]}") | ${ICON_MS[*]} |"
echo "| log line \"Tray icon created\" seen | $(stats "${LOG_MS[@]}") | ${LOG_MS[*]} |"
if [ -n "$FLOOR" ]; then
    echo "| floor: $(basename "$FLOOR") icon docked | $(stats "${FLOOR_MS[@]}") | ${FLOOR_MS[*]} |"
    printf '%s\n' "${ICON_MS[@]}" | sort -n | awk -v f="$(printf '%s\n' "${FLOOR_MS[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
        '{ v[NR] = $1 } END { printf "\nmedian over floor median: %.2f x\n", v[int((NR + 1) / 2)] / f }'
fi
echo

# --- idle ---------------------------------------------------------------------------
sleep "$SETTLE"

# tid name switches cpu_ns, one line per thread
snapshot() {
    local task tid name vol invol ns
    for task in /proc/"$PID"/task/*; do
        tid=${task##*/}
        name=$(tr ' ' '_' <"$task/comm" 2>/dev/null) || continue
        vol=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status" 2>/dev/null)
        invol=$(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$task/status" 2>/dev/null)
        ns=$(cut -d' ' -f1 "$task/schedstat" 2>/dev/null)
        [ -n "$vol" ] && echo "$tid $name $((vol + invol)) ${ns:-0}"
    done
}

RSS_BEFORE=$(awk '/^VmRSS/ {print $2}' /proc/"$PID"/status)
snapshot >"$WORK/before.txt"
T_BEFORE=$EPOCHREALTIME
sleep "$WINDOW"
snapshot >"$WORK/after.txt"
T_AFTER=$EPOCHREALTIME
RSS=$(awk '/^VmRSS/ {print $2}' /proc/"$PID"/status)
HWM=$(awk '/^VmHWM/ {print $2}' /proc/"$PID"/status)
RSS_ANON=$(awk '/^RssAnon/ {print $2}' /proc/"$PID"/status)
RSS_FILE=$(awk '/^RssFile/ {print $2}' /proc/"$PID"/status)
THREADS=$(wc -l <"$WORK/after.txt")

echo "Idle after ${SETTLE} s, measured over ${WINDOW} s"
echo
echo "| what | value |"
echo "|---|---|"
echo "| VmRSS at the start / end of the window | $((RSS_BEFORE / 1024)) MiB / $((RSS / 1024)) MiB ($RSS kB) |"
echo "| VmHWM (peak RSS) | $((HWM / 1024)) MiB ($HWM kB) |"
echo "| of it: anonymous / file-backed (libraries, resources) | $((RSS_ANON / 1024)) MiB / $((RSS_FILE / 1024)) MiB |"
echo "| threads | $THREADS |"
awk -v secs="$(awk -v a="$T_BEFORE" -v b="$T_AFTER" 'BEGIN { print b - a }')" '
    NR == FNR { sw[$1] = $3; cpu[$1] = $4; next }
    { d = $3 - ($1 in sw ? sw[$1] : 0); c = $4 - ($1 in cpu ? cpu[$1] : 0)
      total += d; cpuNs += c; byName[$2] += d; count[$2]++ }
    END {
        printf "| wake-ups per second, all threads | %.2f (%d in %.0f s) |\n", total / secs, total, secs
        printf "| CPU time while idle | %.4f %% of one core (%.2f ms) |\n\n", cpuNs / 1e9 / secs * 100, cpuNs / 1e6
        print "| thread | count | wake-ups | per second |"
        print "|---|---|---|---|"
        n = 0
        for (name in byName) names[n++] = name
        for (i = 0; i < n; i++) for (j = i + 1; j < n; j++)
            if (byName[names[j]] > byName[names[i]]) { t = names[i]; names[i] = names[j]; names[j] = t }
        for (i = 0; i < n; i++) printf "| %s | %d | %d | %.2f |\n", names[i], count[names[i]], byName[names[i]], byName[names[i]] / secs
    }' "$WORK/before.txt" "$WORK/after.txt"

# Shutdown on SIGTERM, as a logout ends the program.
T_TERM=$EPOCHREALTIME
stop_program "$PID"
echo
echo "SIGTERM to exit: $(ms_between "$T_TERM" "$EPOCHREALTIME") ms; last log line: $(tail -n 1 "$WORK/run$RUNS/config/Inkora V3/log.txt" | tr -d '\r')"

# --- started without "/mini": the settings window on screen --------------------------
# SHOW_RUNS starts of "PROGRAM --simulate" (first starts too), timed from the exec to a
# viewable top-level window titled "Inkora" of at least 300 px (looked for every 10 ms).
SHOW_RUNS=${SHOW_RUNS:-5}
SHOW_MS=()
for run in $(seq "$SHOW_RUNS"); do
    HOME_DIR=$WORK/show$run
    mkdir -p "$HOME_DIR/config" "$HOME_DIR/runtime"
    chmod 700 "$HOME_DIR/runtime"
    T0=$EPOCHREALTIME
    HOME=$HOME_DIR XDG_CONFIG_HOME=$HOME_DIR/config XDG_RUNTIME_DIR=$HOME_DIR/runtime \
        "$BIN" --simulate >"$HOME_DIR/output.txt" 2>&1 &
    PID=$!
    PIDS+=($PID)
    SHOWN=
    deadline=$((SECONDS + TIMEOUT_S))
    while [ $SECONDS -lt $deadline ] && [ -z "$SHOWN" ]; do
        for wid in $(xwininfo -root -tree 2>/dev/null | awk '/"Inkora": \(/ {print $1}'); do
            if xwininfo -id "$wid" 2>/dev/null | awk '/IsViewable/ {v = 1} /Width:/ {w = $2} END {exit !(v && w >= 300)}'; then
                SHOWN=$EPOCHREALTIME
                break
            fi
        done
        [ -z "$SHOWN" ] && sleep 0.01
    done
    [ -n "$SHOWN" ] || { echo "startup_idle: show run $run: no window seen" >&2; exit 1; }
    SHOW_MS+=("$(ms_between "$T0" "$SHOWN")")
    stop_program "$PID"
done
echo
echo "| started without \"/mini\", from exec to | median ms | min ms | max ms | runs |"
echo "|---|---|---|---|---|"
echo "| the settings window viewable | $(stats "${SHOW_MS[@]}") | ${SHOW_MS[*]} |"
