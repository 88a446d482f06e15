#!/bin/bash
# Start-up time of the real program against a bare Qt window (bench/bare_window: a QLabel in
# a QApplication): from exec to the first idle pass of the event loop after the window is
# shown, offscreen, the program on the simulated link with a fresh settings directory each
# run. A second yardstick, bench/floor_window, is an empty main window of the program's size
# linked with the program's shared libraries: what the libraries and the window's size cost
# before any code of ours runs. The three are run in turn (A B C A B C ...) so that a busy
# machine weighs on all alike. Prints for each the median wall time of the whole process
# (exec to exit, as seen from here) and the median of its own figure (first line of main()
# to idle), then the ratios.
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

# run NAME RUN PROGRAM ARGS...: one timed run, its two figures appended to NAME.wall and NAME.own.
run() {
    local name=$1 i=$2
    shift 2
    local start end own
    start=$(date +%s%N)
    "$@" >"$scratch/out" 2>/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.1f\n", ns / 1e6 }' >>"$scratch/$name.wall"
    own=$(sed -n 's/^startup-ms //p' "$scratch/out")
    if [ -z "$own" ]; then
        echo "bench/startup.sh: $name run $i printed no start-up figure" >&2
        exit 1
    fi
    echo "$own" >>"$scratch/$name.own"
}

# One run of each not counted: it warms the disk cache and the font cache.
"$tavrin" --exit-when-idle --settings-dir "$scratch/warm-up" >/dev/null 2>&1
"$bare" >/dev/null 2>&1
"$floor" >/dev/null 2>&1

: >"$scratch/tavrin.wall" >"$scratch/tavrin.own" >"$scratch/bare.wall" >"$scratch/bare.own"
: >"$scratch/floor.wall" >"$scratch/floor.own"
for i in $(seq 1 "$runs"); do
    run tavrin "$i" "$tavrin" --exit-when-idle --settings-dir "$scratch/run$i"
    run bare "$i" "$bare"
    run floor "$i" "$floor"
done
tw=$(median <"$scratch/tavrin.wall") to=$(median <"$scratch/tavrin.own")
bw=$(median <"$scratch/bare.wall") bo=$(median <"$scratch/bare.own")
fw=$(median <"$scratch/floor.wall") fo=$(median <"$scratch/floor.own")
echo "start-up over $runs runs each, taken in turn:"
echo "  tavrin:       median $tw ms exec to exit (wall), median $to ms main() to idle (in-program)"
echo "  bare window:  median $bw ms exec to exit (wall), median $bo ms main() to idle (in-program)"
echo "  floor window: median $fw ms exec to exit (wall), median $fo ms main() to idle (in-program)"
awk -v tw="$tw" -v bw="$bw" -v to="$to" -v bo="$bo" \
    'BEGIN { printf "  ratio:        %.2fx (wall), %.2fx (in-program)  tavrin / bare window\n", tw / bw, to / bo }'
awk -v fw="$fw" -v bw="$bw" -v fo="$fo" -v bo="$bo" \
    'BEGIN { printf "                %.2fx (wall), %.2fx (in-program)  floor window / bare window\n", fw / bw, fo / bo }'
awk -v tw="$tw" -v fw="$fw" -v to="$to" -v fo="$fo" \
    'BEGIN { printf "                %.2fx (wall), %.2fx (in-program)  tavrin / floor window\n", tw / fw, to / fo }'
