#!/bin/bash
# rigctl.sh TAVRIN HOLD.scn
# Drives the rig server of the real program with Hamlib's own client, as logging and
# digital-mode programs do: rigctl -m 2 (NET rigctl) against 127.0.0.1:PORT. rigctl exits 0
# even when a command fails, so its output is what we judge.
set -u
tavrin=$1 hold=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-rigctl.XXXXXX") || exit 2
program=
stop_program() {
    if [ -n "$program" ]; then
        kill "$program" 2>/dev/null
        wait "$program" 2>/dev/null
        program=
    fi
}
cleanup() { stop_program; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "rigctl.sh: $*" >&2; exit 1; }
command -v rigctl >/dev/null || fail "rigctl not installed (package libhamlib-utils)"

port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
# Below the ephemeral range (32768 and up), so that no outgoing connection of another test
# can be holding the port as its local end when the program starts listening on it.
port=$((20000 + RANDOM % 10000))
while port_taken "$port"; do port=$((port + 1)); done

# start_program ALLOWPTT: a fresh copy on the simulated link, the node linked.
start_program() {
    stop_program
    rm -rf "$work/settings" "$work/run"
    mkdir -p "$work/settings" "$work/run"
    printf '[SETTINGS]\r\nEnabled=True\r\nPort=%s\r\nAllowPTT=%s\r\n' "$port" "$1" >"$work/settings/TVRrig.ini"
    : >"$work/chat.log"
    (cd "$work/run" && exec "$tavrin" --scenario "$hold" --settings-dir "$work/settings" --chat-log "$work/chat.log") &
    program=$!
    for _ in $(seq 1 300); do
        port_taken "$port" && [ -s "$work/run/ready.png" ] && return 0
        kill -0 "$program" 2>/dev/null || fail "the program ended early"
        sleep 0.1
    done
    fail "the rig server did not come up on port $port"
}

rig() { timeout 20 rigctl -m 2 -r "127.0.0.1:$port" -C cache_timeout=0 "$@" 2>&1; }
chat_lines() { wc -l <"$work/chat.log"; }
expect_output() { # NAME EXPECTED ACTUAL
    [ "$2" = "$3" ] || fail "$1: expected $(printf '%q' "$2"), got $(printf '%q' "$3")"
}

# The node answers "FR?" five seconds after start-up; wait for its report.
wait_frequency() { # HZ
    for _ in $(seq 1 100); do
        [ "$(rig f)" = "$1" ] && return 0
        sleep 0.1
    done
    fail "the frequency never read $1 (last: $(rig f))"
}

# --- PTT not allowed ---------------------------------------------------------------------
start_program False

# Set and get the frequency: one frequency command line, then the node's report.
before=$(chat_lines)
out=$(rig F 7074000)
expect_output "set frequency" "" "$out"
expect_output "chat lines after F" $((before + 1)) "$(chat_lines)"
tail -n 1 "$work/chat.log" | grep -Eqx 'FN7\.0740 MHz  -  [0-9]{2}:[0-9]{2}:[0-9]{2}' ||
    fail "frequency command line: $(tail -n 1 "$work/chat.log")"
expect_output "get frequency" "7074000" "$(rig f)"
sleep 0.5
expect_output "mode from the report" "LSB
2400" "$(rig m)"
expect_output "set the reported mode" "" "$(rig M LSB 0)"
rig M USB 0 | grep -q "Feature not available" || fail "M USB was not refused"

# WSJT-X's start-up check: 55 Hz above, read back, restore. No chat line.
before=$(chat_lines)
out=$(rig F 7074055 f F 7074000 f)
expect_output "55 Hz check" "7074000
7074000" "$out"
expect_output "chat lines after the 55 Hz check" "$before" "$(chat_lines)"

# Outside HF: refused, nothing sent. Polls send nothing either.
before=$(chat_lines)
rig F 144300000 | grep -q "Invalid parameter" || fail "F 144300000 was not refused"
rig f f f m t v s >/dev/null
expect_output "chat lines after polls" "$before" "$(chat_lines)"

# PTT is the operator's choice: refused by default.
rig T 1 | grep -q "Feature not available" || fail "T 1 was not refused with PTT not allowed"
expect_output "PTT stays off" "0" "$(rig t)"

# Quit is answered at once.
start=$(date +%s%N)
rig f >/dev/null
elapsed=$((($(date +%s%N) - start) / 1000000))
[ "$elapsed" -lt 3000 ] || fail "a rigctl session took ${elapsed} ms"

# Garbage gets RPRT -1 and the connection stays usable; an over-long line closes it.
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'zz\001\002 garbage\nf\n' >&3
IFS= read -r -t 3 a <&3
IFS= read -r -t 3 b <&3
expect_output "garbage" "RPRT -1" "$a"
expect_output "after garbage" "7074000" "$b"
head -c 2000 /dev/zero | tr '\0' 'x' >&3
if IFS= read -r -t 3 c <&3; then fail "an over-long line got an answer: $c"; fi
exec 3<&-

# Two clients at once share one state.
rig f f f f f >"$work/one" &
one=$!
rig f f f f f >"$work/two" &
two=$!
wait "$one" "$two"
expect_output "first client" "$(printf '7074000\n%.0s' 1 2 3 4 5)" "$(cat "$work/one")"
expect_output "second client" "$(printf '7074000\n%.0s' 1 2 3 4 5)" "$(cat "$work/two")"

# Loopback only by default: another local address is not served.
out=$(timeout 20 rigctl -m 2 -r "127.0.0.2:$port" f 2>&1)
echo "$out" | grep -qx "7074000" && fail "served on 127.0.0.2 with the default address"
lan=$(hostname -I 2>/dev/null | awk '{print $1}')
if [ -n "$lan" ]; then
    out=$(timeout 20 rigctl -m 2 -r "$lan:$port" f 2>&1)
    echo "$out" | grep -qx "7074000" && fail "served on $lan with the default address"
fi

# --- PTT allowed -------------------------------------------------------------------------
start_program True
wait_frequency 14230000 # the node's start-up report

out=$(rig T 1 t T 1 t T 0 t)
expect_output "PTT on and off" "1
1
0" "$out"
expect_output "T 3 counts as transmit" "1" "$(rig T 3 t)"
# That session ended: its transmitter was released with it.
expect_output "released when the keying client left" "0" "$(rig t)"
grep -q "CPT?" "$work/chat.log" && fail "a transmit request was sent on a quiet link"
stop_program
echo "rigctl.sh: all checks passed"
