#!/bin/bash
# second-instance.sh TAVRIN HOLD.scn SECOND.scn
# One copy holds a settings directory; a second copy on it must exit non-zero, say
# "Program is already running." on standard error and leave every file alone. Once the
# first copy has died without cleaning up, a new copy starts normally.
set -u
tavrin=$1 hold=$2 second=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-instance.XXXXXX") || exit 2
holder=
cleanup() {
    [ -n "$holder" ] && kill -9 "$holder" 2>/dev/null && wait "$holder" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/settings" "$work/run"
cd "$work/run" || exit 2
fail() { echo "second-instance: $*" >&2; exit 1; }

"$tavrin" --scenario "$hold" --settings-dir "$work/settings" &
holder=$!
for _ in $(seq 1 600); do
    [ -s ready.png ] && break
    kill -0 "$holder" 2>/dev/null || fail "the first copy ended early"
    sleep 0.1
done
[ -s ready.png ] || fail "the first copy did not come up"

listing() { (cd "$work/settings" && ls -lA --time-style=full-iso && cat ./* 2>/dev/null | md5sum); }
before=$(listing)
"$tavrin" --scenario "$second" --settings-dir "$work/settings" 2>"$work/stderr"
rc=$?
after=$(listing)
[ "$rc" -ne 0 ] || fail "the second copy exited 0"
grep -qxF "Program is already running." "$work/stderr" || fail "no message on stderr: $(cat "$work/stderr")"
[ "$before" = "$after" ] || fail "the second copy touched the settings directory"
[ -e "$work/settings/TVRradio.ini" ] && fail "TVRradio.ini was written"

# The first copy crashes; its lock must not keep the operator out.
kill -9 "$holder"
wait "$holder" 2>/dev/null
holder=
"$tavrin" --scenario "$second" --settings-dir "$work/settings" || fail "no start after the first copy died"
exit 0
