#!/bin/sh
# run-scenarios.sh TAVRIN FILE... : runs each scenario in turn on one fresh settings
# directory (so a later file sees what an earlier one saved), inside a scratch working
# directory; stops at the first failing file.
set -u
tavrin=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-scenario.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
mkdir "$work/settings" "$work/run"
cd "$work/run" || exit 2
for scenario in "$@"; do
    "$tavrin" --scenario "$scenario" --settings-dir "$work/settings"
    rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "$(basename "$scenario"): exit code $rc" >&2
        exit "$rc"
    fi
done
exit 0
