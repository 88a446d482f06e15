#!/bin/bash
# Start-up time of the real program against a bare Qt window (bench/bare_window: a QLabel in
# a QApplication), offscreen (STARTUP_PLATFORM=xcb with a DISPLAY for an X server), the
# program on the simulated link with a fresh settings directory each run. A second yardstick, bench/floor_window, is an empty main window of the program's size
# linked with the program's shared libraries: what the libraries and the window's size cost
# before any code of ours runs. The three are run in turn (A B C A B C ...) so that a busy
# machine weighs on all alike. Prints for each three medians, then the ratios:
#   first frame  exec to the main window's first frame painted (wall clock): start-up as the
#                operator sees it, the headline figure;
#   in-program   the first line of main() to the first idle pass after the window is shown;
#   exit         exec to the end of the process as seen from here (start-up, first paint and
#                the orderly end of the program).
#
#   bench/startup.sh [TAVRIN] [RUNS] [BARE] [FLOOR]
#       defaults: build/apps/tavrin (Release), 21 runs, build/bench/bare_window,
#       build/bench/floor_window
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tavrin=${1:-$root/build/apps/tavrin}
runs=${2:-21}
bare=${3:-$root/build/bench/bare_window}
floor=${4:-$root/build/bench/floor_window}
for program in "$tavrin" "$bare" "$floor"; do
    if [ ! -x "$program" ]; then
        echo "bench/startup.sh: no program at $program; build it first: tools/build-release tavrin bare_window floor_window" >&2
        exit 2
    fi
done
export QT_QPA_PLATFORM=${STARTUP_PLATFORM:-offscreen}
# The statistics report must not reach a real server from a bench run: a closed loopback port.
export TAVRIN_STATS_HOST=127.0.0.1:1 TAVRIN_VERSION_URL=http://127.0.0.1:1/VersionTV.txt
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-startup.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# run NAME RUN PROGRAM ARGS...: one timed run, its figures appended to NAME.frame, NAME.own
# and NAME.wall.
run() {
    local name=$1 i=$2
    shift 2
    local start end own frame
    start=$(date +%s%N)
    "$@" >"$scratch/out" 2>/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.1f\n", ns / 1e6 }' >>"$scratch/$name.wall"
    own=$(sed -n 's/^startup-ms //p' "$scratch/out")
    frame=$(sed -n 's/^first-frame-ns //p' "$scratch/out")
    if [ -z "$own" ] || [ -z "$frame" ]; then
        echo "bench/startup.sh: $name run $i printed no start-up figure or no first frame" >&2
        exit 1
    fi
    echo "$own" >>"$scratch/$name.own"
    awk -v ns=$((frame - start)) 'BEGIN { printf "%.1f\n", ns / 1e6 }' >>"$scratch/$name.frame"
}

# One run of each not counted: it warms the disk cache and the font cache.
"$tavrin" --exit-when-idle --settings-dir "$scratch/warm-up" >/dev/null 2>&1
"$bare" >/dev/null 2>&1
"$floor" >/dev/null 2>&1

: >"$scratch/tavrin.wall" >"$scratch/tavrin.own" >"$scratch/tavrin.frame"
: >"$scratch/bare.wall" >"$scratch/bare.own" >"$scratch/bare.frame"
: >"$scratch/floor.wall" >"$scratch/floor.own" >"$scratch/floor.frame"
for i in $(seq 1 "$runs"); do
    run tavrin "$i" "$tavrin" --exit-when-idle --settings-dir "$scratch/run$i"
    run bare "$i" "$bare"
    run floor "$i" "$floor"
done
echo "start-up over $runs runs each, taken in turn (medians, ms; $QT_QPA_PLATFORM):"
echo "                first frame  in-program      exit"
declare -A med
for name in tavrin bare floor; do
    for figure in frame own wall; do
        med[$name.$figure]=$(median <"$scratch/$name.$figure")
    done
done
for name in tavrin bare floor; do
    label=$name
    [ "$name" = tavrin ] || label="$name window"
    printf "  %-13s %11s %11s %9s\n" "$label" "${med[$name.frame]}" "${med[$name.own]}" "${med[$name.wall]}"
done
ratio() { # ratio A B LABEL
    awk -v af="${med[$1.frame]}" -v bf="${med[$2.frame]}" -v ao="${med[$1.own]}" -v bo="${med[$2.own]}" \
        -v aw="${med[$1.wall]}" -v bw="${med[$2.wall]}" -v label="$3" \
        'BEGIN { printf "  %-13s %10.2fx %10.2fx %8.2fx\n", label, af / bf, ao / bo, aw / bw }'
}
echo "ratios:"
ratio tavrin bare "tavrin/bare"
ratio floor bare "floor/bare"
ratio tavrin floor "tavrin/floor"
