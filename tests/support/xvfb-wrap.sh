#!/usr/bin/env bash
# Runs a command on a private Xvfb display, so tests can run side by side.
# Each test also gets its own TMPDIR, XDG folders and HOME; nothing touches the real ones.
set -u
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mervo-test.XXXXXX")
mkdir -p "$scratch/tmp" "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"

fifo="$scratch/displayfd"
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1600x1000x24 -nolisten tcp -noreset 4>"$fifo" >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 20 display <"$fifo" || { echo "Xvfb did not start"; cat "$scratch/xvfb.log"; exit 1; }

cleanup() {
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

export DISPLAY=":$display"
export TMPDIR="$scratch/tmp" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" HOME="$scratch/home"
unset DBUS_SESSION_BUS_ADDRESS
"$@"
