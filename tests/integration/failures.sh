#!/bin/bash
# failures.sh TAVRIN DIR : every DIR/*.scn must fail. Its first line names the exit code and
# the text standard error must hold: "# exit 1: line 3: expected ..., got ...".
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
exit $status
