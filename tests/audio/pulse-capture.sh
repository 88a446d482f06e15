#!/bin/bash
# Runs the real-capture test against a private PulseAudio server:
#   pulse-capture.sh TEST_BINARY
# starts a daemon in a temporary runtime directory with a null sink "txsink" and a remap
# source "rxmic" on its monitor, runs the test with PULSE_SERVER pointing at it (the test plays
# its tone with pacat and may stop and start the daemon through this script), then runs the
# no-server case with PULSE_SERVER=unix:/nonexistent and autospawn off, then the hung-server
# case against a fresh daemon stopped with SIGSTOP (under a time limit: a start that waits for
# the server fails), and tears down.
#   pulse-capture.sh start|stop|hang|wake   (used by the test, with TAVRIN_PULSE_DIR set)
# Exits 77 (skipped) when PulseAudio is not installed.
set -uo pipefail

self=$(readlink -f "$0")

start_daemon() {
    local dir=$1
    mkdir -p "$dir/run" && chmod 700 "$dir/run"
    rm -f "$dir/run/native"
    # -n: no default script, so nothing but our modules (and no real sound card) is loaded.
    XDG_RUNTIME_DIR="$dir/run" HOME="$dir" pulseaudio -n --daemonize=no --use-pid-file=no \
        --exit-idle-time=-1 --disallow-exit=yes --log-target=file:"$dir/pulse.log" \
        --load="module-native-protocol-unix socket=$dir/run/native auth-anonymous=1" \
        --load="module-null-sink sink_name=txsink" \
        --load="module-remap-source master=txsink.monitor source_name=rxmic" \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
        if PULSE_SERVER="unix:$dir/run/native" pactl list short sources 2>/dev/null | grep -q rxmic; then
            return 0
        fi
        sleep 0.1
    done
    echo "pulse-capture: the server did not come up" >&2
    cat "$dir/pulse.log" >&2 2>/dev/null
    return 1
}

stop_daemon() {
    local dir=$1 pid
    [ -f "$dir/pid" ] || return 0
    pid=$(cat "$dir/pid")
    rm -f "$dir/pid"
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    return 0
}

case "${1:-}" in
start) start_daemon "$TAVRIN_PULSE_DIR"; exit $? ;;
stop) stop_daemon "$TAVRIN_PULSE_DIR"; exit $? ;;
hang) kill -STOP "$(cat "$TAVRIN_PULSE_DIR/pid")"; exit $? ;;
wake) kill -CONT "$(cat "$TAVRIN_PULSE_DIR/pid")"; exit $? ;;
esac

test_binary=${1:?usage: pulse-capture.sh TEST_BINARY}
if ! command -v pulseaudio >/dev/null || ! command -v pacat >/dev/null || ! command -v pactl >/dev/null; then
    echo "pulse-capture: pulseaudio and pulseaudio-utils are not installed; skipped"
    exit 77
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-pulse.XXXXXX")
trap 'stop_daemon "$dir"; rm -rf "$dir"' EXIT
export TAVRIN_PULSE_DIR=$dir
printf 'autospawn = no\n' >"$dir/client.conf"
export PULSE_CLIENTCONFIG=$dir/client.conf

start_daemon "$dir" || exit 1
status=0
PULSE_SERVER="unix:$dir/run/native" TAVRIN_PULSE_CONTROL="$self" "$test_binary" || status=1
stop_daemon "$dir"
PULSE_SERVER=unix:/nonexistent "$test_binary" noServerFailsAtOnce || status=1
start_daemon "$dir" || exit 1
kill -STOP "$(cat "$dir/pid")"
PULSE_SERVER="unix:$dir/run/native" TAVRIN_PULSE_HUNG=1 timeout 25 "$test_binary" hungServerHoldsNothingUp || status=1
kill -CONT "$(cat "$dir/pid")"
exit $status
