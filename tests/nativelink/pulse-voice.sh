#!/bin/bash
# Runs the native link's real-audio test against a private PulseAudio server:
#   pulse-voice.sh TEST_BINARY [ARGUMENTS...]
# The server is the one tests/audio/pulse-capture.sh starts (a null sink "txsink" and a remap
# source "rxmic" on its monitor: our microphone), plus a second null sink "rxsink" (our
# loudspeaker, recorded through rxsink.monitor). The test runs with PULSE_SERVER pointing at
# it and TAVRIN_PULSE_VOICE set; the server is torn down afterwards.
# Exits 77 (skipped) when PulseAudio is not installed.
set -uo pipefail

here=$(dirname "$(readlink -f "$0")")
capture=$here/../audio/pulse-capture.sh
test_binary=${1:?usage: pulse-voice.sh TEST_BINARY}

for tool in pulseaudio pacat parec pactl; do
    if ! command -v "$tool" >/dev/null; then
        echo "pulse-voice: pulseaudio and pulseaudio-utils are not installed; skipped"
        exit 77
    fi
done

dir=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-pulse-voice.XXXXXX")
export TAVRIN_PULSE_DIR=$dir
trap '"$capture" stop; rm -rf "$dir"' EXIT
printf 'autospawn = no\n' >"$dir/client.conf"
export PULSE_CLIENTCONFIG=$dir/client.conf

"$capture" start || exit 1
export PULSE_SERVER="unix:$dir/run/native"
if ! pactl load-module module-null-sink sink_name=rxsink >/dev/null; then
    echo "pulse-voice: cannot add the sink rxsink" >&2
    cat "$dir/pulse.log" >&2 2>/dev/null
    exit 1
fi

TAVRIN_PULSE_VOICE=1 "$@"
