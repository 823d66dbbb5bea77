#!/usr/bin/env bash
# Every figure of docs/performance.md in one run, one after the other (never two at
# once: they would share the cores).
#
#   bench/run_all.sh [BUILD_DIR] > figures.txt      BUILD_DIR defaults to build
#
# Build first: cmake --build BUILD_DIR --target Inkora bench_decoder bench_penpath \
#   bench_pipeline bench_profile bench_multitablet bench_trayfloor bench_wayland_focus
set -eu

BUILD=${1:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
REPS=${REPS:-5}
GB_ARGS=(--benchmark_repetitions="$REPS" --benchmark_report_aggregates_only=true)

echo "# Inkora performance run"
echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "commit: $(git -C "$HERE" rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "build type: $(awk -F= '/^CMAKE_BUILD_TYPE:/ {print $2}' "$BUILD/CMakeCache.txt" 2>/dev/null)"
echo "cores: $(nproc); cpu: $(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)"
echo "memory: $(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

for bench in bench_decoder bench_penpath bench_pipeline bench_profile; do
    echo "## $bench"
    "$BUILD/bench/$bench" "${GB_ARGS[@]}" 2>&1
    echo
done

# Each: ROUNDS rounds of SECONDS_OF_INPUT s of the floor's input, then as long of the
# program's; the load average beside each, as other programs share the cores.
MT_ARGS=(--seconds "${SECONDS_OF_INPUT:-4}" --rounds "${ROUNDS:-5}")
for mode in "" --foreground --live --hog --unbridged; do
    echo "## bench_multitablet $mode"
    echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
    # shellcheck disable=SC2086 # an empty mode is no argument
    "$BUILD/bench/bench_multitablet" "${MT_ARGS[@]}" $mode
    echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
done

echo "## bench_wayland_focus"
"$BUILD/bench/bench_wayland_focus" 500
echo

echo "## startup_idle.sh"
RUNS=${RUNS:-15} SETTLE=${SETTLE:-30} WINDOW=${WINDOW:-60} "$HERE/startup_idle.sh" "$BUILD/bin/Inkora"
echo
echo "## memory_drift.sh"
"$HERE/memory_drift.sh" "$BUILD/bin/Inkora"
echo
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
