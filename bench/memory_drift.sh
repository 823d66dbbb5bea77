#!/usr/bin/env bash
# Memory of the resident program and its drift, on a private X server with a tray host
# and a simulated tablet, the settings window never opened.
#
#   bench/memory_drift.sh [PROGRAM]        PROGRAM defaults to build/bin/Inkora
#   SETTLE=60 CYCLES=1000 SHOWS=20 bench/memory_drift.sh
#
# 1. "PROGRAM /mini --simulate", idle SETTLE seconds: VmRSS, anonymous and file-backed
#    resident memory, PSS, and the mappings that hold the most of it.
# 2. CYCLES plug/unplug cycles of a second simulated tablet (a model that answers its
#    light query, so a cycle is not a 100 ms wait) through the control socket: RSS
#    after the first ten and after all of them.
# 3. SHOWS times the settings window shown (a second start asks for it, as a user's
#    does) and closed (WM_DELETE_WINDOW, as a window manager's close button): RSS after
#    the first and after the last.
# Needs Xvfb, trayer, xwininfo, xdpyinfo, dbus-daemon, python3. Prints Markdown tables.
set -u

BIN=${1:-build/bin/Inkora}
SETTLE=${SETTLE:-60}
CYCLES=${CYCLES:-1000}
SHOWS=${SHOWS:-20}
MODEL=${MODEL:-InkoraPadGlowW}

for tool in Xvfb trayer xwininfo xdpyinfo dbus-daemon python3; do
    command -v "$tool" >/dev/null || { echo "memory_drift: $tool is missing" >&2; exit 2; }
done
[ -x "$BIN" ] || { echo "memory_drift: no program at $BIN" >&2; exit 2; }
BIN=$(cd "$(dirname "$BIN")" && pwd)/$(basename "$BIN")

# shellcheck source=bench/desktop.sh
. "$(dirname "$0")/desktop.sh"
bench_desktop memory_drift 140
trayer --edge bottom --align right --widthtype request --height 32 --SetDockType false >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)
sleep 1

export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/config XDG_RUNTIME_DIR=$WORK/home/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
LOG_FILE="$XDG_CONFIG_HOME/Inkora V3/log.txt"
"$BIN" /mini --simulate >"$WORK/output.txt" 2>&1 &
PID=$!
PIDS+=($PID)
for _ in $(seq 300); do
    grep -q "simulate: control socket" "$LOG_FILE" 2>/dev/null && break
    sleep 0.1
done
grep -q "simulate: control socket" "$LOG_FILE" 2>/dev/null || { echo "memory_drift: no control socket" >&2; cat "$WORK/output.txt" >&2; exit 1; }

field() { awk -v k="$1:" '$1 == k {print $2}' "/proc/$PID/status"; }
rss() { field VmRSS; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

sleep "$SETTLE"
PSS=$(awk '/^Pss:/ {print $2}' "/proc/$PID/smaps_rollup")
echo "Idle ${SETTLE} s after the start, one simulated tablet, the window never opened"
echo
echo "| what | MiB |"
echo "|---|---|"
echo "| VmRSS | $(mib "$(rss)") |"
echo "| anonymous (RssAnon) | $(mib "$(field RssAnon)") |"
echo "| file-backed (RssFile) | $(mib "$(field RssFile)") |"
echo "| PSS (depends on what other programs share) | $(mib "$PSS") |"
echo
echo "Resident memory by mapping, largest first (kB):"
echo
echo "| mapping | Rss kB | of it anonymous kB |"
echo "|---|---|---|"
awk '
    /^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6) ? $6 : "[anonymous]"; next }
    /^Rss:/ { rss[name] += $2 }
    /^Anonymous:/ { anon[name] += $2 }
    END { for (n in rss) if (rss[n] >= 256) printf "| %s | %d | %d |\n", n, rss[n], anon[n] }
' "/proc/$PID/smaps" | sort -t'|' -k3,3nr | head -n 16
echo

# One command a line, one answer a line.
control() {
    python3 - "$XDG_RUNTIME_DIR/inkora-simulate" "$@" <<'EOF'
import socket, sys
path, model, first, total = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(path)
f = s.makefile("rw", newline="\n")
def ask(line):
    f.write(line + "\n")
    f.flush()
    answer = f.readline().strip()
    if not answer.startswith("ok"):
        sys.exit("control: " + line + " -> " + answer)
    return answer
for _ in range(first, total):
    number = ask("plug " + model).split()[1]
    ask("unplug " + number)
EOF
}

RSS0=$(rss)
control "$MODEL" 0 10 || exit 1
sleep 1
RSS10=$(rss)
control "$MODEL" 10 "$CYCLES" || exit 1
sleep 2
RSSN=$(rss)
echo "Plug/unplug of a simulated $MODEL, $CYCLES cycles"
echo
echo "| when | VmRSS MiB |"
echo "|---|---|"
echo "| before | $(mib "$RSS0") |"
echo "| after 10 cycles | $(mib "$RSS10") |"
echo "| after $CYCLES cycles | $(mib "$RSSN") (drift $(mib $((RSSN - RSS10)))) |"
echo

window_id() { xwininfo -root -tree 2>/dev/null | awk '/"Inkora": \(/ && !/has no name/ {print $1; exit}'; }
mapped() { xwininfo -id "$1" 2>/dev/null | grep -q "IsViewable"; }
HERE=$(cd "$(dirname "$0")" && pwd)
RSS_FIRST=
for i in $(seq "$SHOWS"); do
    "$BIN" >/dev/null 2>&1 # a second start: asks the first to show its window, then ends
    WID=
    for _ in $(seq 100); do
        WID=$(window_id)
        [ -n "$WID" ] && mapped "$WID" && break
        sleep 0.05
    done
    [ -n "$WID" ] && mapped "$WID" || { echo "memory_drift: the window did not show (round $i)" >&2; exit 1; }
    python3 "$HERE/closewindow.py" "$WID"
    for _ in $(seq 100); do
        mapped "$WID" || break
        sleep 0.05
    done
    sleep 0.2
    [ "$i" -eq 1 ] && RSS_FIRST=$(rss)
done
sleep 1
RSS_LAST=$(rss)
echo "Settings window shown and closed $SHOWS times"
echo
echo "| when | VmRSS MiB |"
echo "|---|---|"
echo "| after the first | $(mib "$RSS_FIRST") |"
echo "| after the last | $(mib "$RSS_LAST") (drift $(mib $((RSS_LAST - RSS_FIRST)))) |"
