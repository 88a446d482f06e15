#!/bin/bash
# CPU share of the whole program left idle on the simulated link while its level meters record
# from a live source: a private PulseAudio server whose only input is fed with noise. Each run
# starts the program offscreen, lets it settle for 5 s, then reads the process's user+system
# ticks from /proc over the measuring window. Prints the median over the runs, in % of one core.
#
#   bench/cpu_idle.sh [TAVRIN] [RUNS] [SECONDS]   defaults: build/apps/tavrin (Release), 3, 30
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tavrin=${1:-$root/build/apps/tavrin}
runs=${2:-3}
seconds=${3:-30}
if [ ! -x "$tavrin" ]; then
    echo "bench/cpu_idle.sh: no program at $tavrin; build it first: tools/build-release tavrin" >&2
    exit 2
fi
for tool in pulseaudio pacat pactl; do
    command -v $tool >/dev/null || { echo "bench/cpu_idle.sh: $tool is not installed (tools/setup)" >&2; exit 2; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-cpu.XXXXXX")
export TAVRIN_PULSE_DIR=$scratch/pulse
mkdir -p "$TAVRIN_PULSE_DIR"
printf 'autospawn = no\n' >"$scratch/client.conf"
export PULSE_CLIENTCONFIG=$scratch/client.conf
pulse=$root/tests/audio/pulse-capture.sh
feeder=
cleanup() {
    [ -n "$feeder" ] && kill "$feeder" 2>/dev/null
    "$pulse" stop || true
    rm -rf "$scratch"
}
trap cleanup EXIT
"$pulse" start
export PULSE_SERVER=unix:$TAVRIN_PULSE_DIR/run/native
# Live input: noise into the null sink, which the meters hear through the remapped source.
pacat -d txsink --raw --format=s16le --rate=44100 --channels=2 </dev/urandom &
feeder=$!

export QT_QPA_PLATFORM=offscreen
export TAVRIN_STATS_HOST=127.0.0.1:1 TAVRIN_VERSION_URL=http://127.0.0.1:1/VersionTV.txt
hz=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$scratch/shares"
for i in $(seq 1 "$runs"); do
    "$tavrin" --settings-dir "$scratch/run$i" >/dev/null 2>&1 &
    pid=$!
    sleep 5
    t0=$(ticks $pid)
    sleep "$seconds"
    t1=$(ticks $pid)
    kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
    awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f\n", 100 * d / hz / s }' | tee -a "$scratch/shares"
done
echo "idle with the meters recording, over $runs runs of ${seconds} s: median $(median <"$scratch/shares") % of one core"
