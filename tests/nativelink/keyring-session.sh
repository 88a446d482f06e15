#!/bin/bash
# Runs a test in a private D-Bus session with its own GNOME Keyring (a real Secret Service),
# unlocked with a throw-away password, in a scratch home, so no test meets the desktop's
# keychain:  keyring-session.sh TEST_BINARY [ARGUMENTS...]
# The test runs with TAVRIN_KEYRING_SESSION set. Exits 77 (skipped) when dbus-run-session or
# gnome-keyring-daemon is not installed.
set -uo pipefail

test_binary=${1:?usage: keyring-session.sh TEST_BINARY}
for tool in dbus-run-session gnome-keyring-daemon; do
    if ! command -v "$tool" >/dev/null; then
        echo "keyring-session: $tool is not installed (packages dbus-daemon, gnome-keyring); skipped"
        exit 77
    fi
done

dir=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-keyring.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/home" "$dir/data" "$dir/config" "$dir/runtime"
chmod 700 "$dir/runtime"
export HOME=$dir/home XDG_DATA_HOME=$dir/data XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR=$dir/runtime
export TAVRIN_KEYRING_SESSION=1

# The daemon leaves with the session's bus when the test is done.
dbus-run-session -- bash -c '
    printf "%s" "tavrin-test-keyring" | gnome-keyring-daemon --unlock --components=secrets >/dev/null ||
        { echo "keyring-session: gnome-keyring-daemon did not start" >&2; exit 1; }
    exec "$@"' keyring-session "$@" 2> >(grep -v "Failed to set fd limit" >&2)
