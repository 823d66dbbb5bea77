# Sourced by the bench scripts that need a desktop of their own.
#
#   bench_desktop NAME FIRST_DISPLAY
#
# Makes a work folder, starts a session bus and an Xvfb (1920x1080) on the first free
# display number from FIRST_DISPLAY + pid % 50 on, and stops what PIDS holds when the
# script ends, last started first (the programs before the servers they use). Sets
# WORK, PIDS (add what you start), DBUS_SESSION_BUS_ADDRESS and DISPLAY. NAME goes
# before its error messages.

bench_desktop_cleanup() {
    local i
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        kill "${PIDS[i]}" 2>/dev/null
        wait "${PIDS[i]}" 2>/dev/null
    done
    rm -rf "$WORK"
}

bench_desktop() {
    local name=$1 first=$2 n
    WORK=$(mktemp -d)
    PIDS=()
    trap bench_desktop_cleanup EXIT

    dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus.address" >/dev/null 2>&1 &
    PIDS+=($!)
    for _ in $(seq 50); do
        [ -s "$WORK/bus.address" ] && break
        sleep 0.1
    done
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/bus.address")
    [ -n "$DBUS_SESSION_BUS_ADDRESS" ] || { echo "$name: no session bus" >&2; exit 1; }
    export DBUS_SESSION_BUS_ADDRESS

    DISPLAY=
    for n in $(seq $((first + $$ % 50)) 250); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            DISPLAY=:$n
            break
        fi
    done
    [ -n "$DISPLAY" ] || { echo "$name: no free display" >&2; exit 2; }
    export DISPLAY
    Xvfb "$DISPLAY" -noreset -screen 0 1920x1080x24 >"$WORK/xvfb.log" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo >/dev/null 2>&1 || { echo "$name: Xvfb did not start" >&2; exit 1; }
}
