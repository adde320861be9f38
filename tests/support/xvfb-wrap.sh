#!/usr/bin/env bash
# Runs a command on a private Xvfb display, so tests can run side by side.
# Each test also gets its own TMPDIR, XDG folders, HOME and session bus; nothing touches the
# real ones, and nothing the desktop starts on demand (D-Bus autolaunch) writes into HOME.
set -u
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mervo-test.XXXXXX")
mkdir -p "$scratch/tmp" "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"

fifo="$scratch/displayfd"
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1600x1000x24 -nolisten tcp -noreset 4>"$fifo" >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 20 display <"$fifo" || { echo "Xvfb did not start"; cat "$scratch/xvfb.log"; exit 1; }

# A private session bus without service activation: Qt programs find a bus and never
# autolaunch one (dbus-launch leaves ~/.dbus/session-bus/ in HOME), and no desktop service
# (accessibility, notifications) is started on demand behind the test's back.
bus_pid=
if command -v dbus-daemon >/dev/null; then
    bus="$scratch/runtime/bus"
    cat >"$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    bus_pid=$(dbus-daemon --config-file="$scratch/bus.conf" --fork --print-pid) ||
        { echo "dbus-daemon did not start"; kill "$xvfb_pid"; exit 1; }
fi

cleanup() {
    kill "$xvfb_pid" $bus_pid 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

export DISPLAY=":$display"
export TMPDIR="$scratch/tmp" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" HOME="$scratch/home"
if [ -n "$bus_pid" ]; then
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$bus"
else
    unset DBUS_SESSION_BUS_ADDRESS
fi
"$@"
