#!/bin/bash
# Start-up time of the real program: from exec to the first idle pass of the event loop after
# the main window is shown, on the simulated link, offscreen, with a fresh settings directory
# each run. Prints two medians: the wall time of the whole process (exec to exit, as seen
# from here) and the program's own figure (from the first line of main() to idle).
#
#   bench/startup.sh [TAVRIN] [RUNS]     defaults: build/apps/tavrin (Release), 21 runs
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tavrin=${1:-$root/build/apps/tavrin}
runs=${2:-21}
if [ ! -x "$tavrin" ]; then
    echo "bench/startup.sh: no program at $tavrin; build it first: tools/build-release tavrin" >&2
    exit 2
fi
export QT_QPA_PLATFORM=offscreen
# The statistics report must not reach a real server from a bench run: a closed loopback port.
export TAVRIN_STATS_HOST=127.0.0.1:1 TAVRIN_VERSION_URL=http://127.0.0.1:1/VersionTV.txt
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-startup.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One run not counted: it warms the disk cache and the font cache.
"$tavrin" --exit-when-idle --settings-dir "$scratch/warm-up" >/dev/null 2>&1

: >"$scratch/wall" >"$scratch/own"
for i in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    "$tavrin" --exit-when-idle --settings-dir "$scratch/run$i" >"$scratch/out" 2>/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.1f\n", ns / 1e6 }' >>"$scratch/wall"
    own=$(sed -n 's/^startup-ms //p' "$scratch/out")
    if [ -z "$own" ]; then
        echo "bench/startup.sh: run $i printed no start-up figure" >&2
        exit 1
    fi
    echo "$own" >>"$scratch/own"
done
echo "start-up over $runs runs: median $(median <"$scratch/wall") ms exec to exit (wall)," \
     "median $(median <"$scratch/own") ms main() to idle (in-program)"
