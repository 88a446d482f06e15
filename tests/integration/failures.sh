#!/bin/bash
# failures.sh TAVRIN DIR : every DIR/*.scn must fail. Its first line names the exit code and
# the text standard error must hold: "# exit 1: line 3: expected ..., got ...". Then a chat
# log that cannot grow must be said once, and the program must run on to its end.
set -u
tavrin=$1 dir=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-failing.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
status=0
for scenario in "$dir"/*.scn; do
    header=$(head -n 1 "$scenario")
    want_rc=$(sed -n 's/^# exit \([0-9]*\): .*/\1/p' <<<"$header")
    want_text=$(sed -n 's/^# exit [0-9]*: //p' <<<"$header")
    settings=$(mktemp -d "$work/settings.XXXXXX")
    (cd "$work" && "$tavrin" --scenario "$scenario" --settings-dir "$settings" 2>"$work/stderr")
    rc=$?
    if [ "$rc" != "$want_rc" ] || ! grep -qF -- "$want_text" "$work/stderr"; then
        echo "$(basename "$scenario"): exit $rc (wanted $want_rc), stderr:" >&2
        sed 's/^/    /' "$work/stderr" >&2
        echo "    wanted: $want_text" >&2
        status=1
    fi
done
# A device named as the script (or a huge file) is refused, not read until memory runs out.
"$tavrin" --scenario /dev/zero --settings-dir "$work/zero" 2>"$work/stderr"
rc=$?
if [ "$rc" != 2 ] || ! grep -qF "not a scenario: larger than 4 MB" "$work/stderr"; then
    echo "/dev/zero as a scenario: exit $rc (wanted 2), stderr:" >&2
    sed 's/^/    /' "$work/stderr" >&2
    status=1
fi

# The chat log at the file size limit: its writes fail (the limit's signal would kill the
# program, unsaved), which is said once, and the run goes on and saves at its end.
printf 'start\nclick FreqReq\nclick FreqReq\nclick fin\nexpect-setting TVRradio.ini Option1 "True"\n' >"$work/limit.scn"
head -c 1024 /dev/zero >"$work/chat.log"
settings=$(mktemp -d "$work/settings.XXXXXX")
(ulimit -f 1 && cd "$work" && exec "$tavrin" --scenario "$work/limit.scn" --settings-dir "$settings" \
    --chat-log "$work/chat.log" 2>"$work/stderr")
rc=$?
if [ "$rc" != 0 ] || [ "$(grep -c -- '--chat-log .*File too large' "$work/stderr")" != 1 ]; then
    echo "chat log at the size limit: exit $rc (wanted 0, the failure said once), stderr:" >&2
    sed 's/^/    /' "$work/stderr" >&2
    status=1
fi
exit $status
