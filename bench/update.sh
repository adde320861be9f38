#!/usr/bin/env bash
# The update road, RUNS times (default 3): a client of the build's version starts, its
# updater downloads the demo's signed package of the next version, ends the client and
# starts the installer, which upgrades the program folder in place and starts the new
# client. Median times from the updater's start, and the installers' sizes.
source "$(dirname "$0")/common.sh"
ensure_display "$@"
RUNS=${RUNS:-3}
here=$(cd "$(dirname "$0")" && pwd)
package=$(ls "$BUILD"/demo-update/MervoSetup-*.run 2>/dev/null | tail -1)
[ -n "$package" ] || { echo "no update package in $BUILD/demo-update: make demo builds it"; exit 1; }
version=$("$BUILD/packaging/mervo-ini" get "$BUILD/packaging/config.ini" Version)
xwin=$BUILD/tests/support/mervo-xwin
hz=$(getconf CLK_TCK)
next=$(basename "$package" .run)
next=${next#MervoSetup-}
new=

work=$(mktemp -d)
trap 'kill -9 $new 2>/dev/null; kill $DEMO_PID 2>/dev/null; rm -rf "$work"' EXIT
# The installer writes a menu entry, the clients their data: all of it in here.
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export XDG_CACHE_HOME=$work/cache TMPDIR=$work/tmp
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$TMPDIR" "$work/demo"
cp -r "$here/../demo/." "$work/demo/"
echo '{"success": true, "data": {"needUpdate": true}}' >"$work/demo/update.json"
start_demo_service "$work" --demo "$work/demo" --updates "$(dirname "$package")"

# Milliseconds since boot: now, and when process PID started.
uptime_ms() { local up _; read -r up _ </proc/uptime; echo $((10#${up/./} * 10)); }
started_ms() { local s; s=$(cut -d' ' -f22 "/proc/$1/stat"); echo $((s * 1000 / hz)); }
# PID of a child of $1 (its main thread) running $2.
child_running() {
    local kids=() k
    { read -r -a kids <"/proc/$1/task/$1/children"; } 2>/dev/null || true
    for k in "${kids[@]}"; do [ "$(readlink "/proc/$k/exe")" = "$2" ] && echo "$k" && return; done
    return 1
}
running() {
    local p
    for p in $(pgrep -x "$(basename "$1")"); do [ "$(readlink "/proc/$p/exe")" = "$1" ] && echo "$p" && return; done
    return 1
}

for run in $(seq "$RUNS"); do
    bin=$work/run$run/bin
    mkdir -p "$bin"
    cp "$BUILD"/bin/{MervoClient,MervoUpgrade,signin_pl.so,ledger_pl.so} "$bin/"
    # The updater ends the client by its file name: this one, no other client of the user.
    ln "$bin/MervoClient" "$bin/MervoClientBench"
    "$here/../demo/write-config.sh" "$bin/config.ini" "$DEMO_URL" "$version"
    "$bin/MervoClientBench" >"$work/client.log" 2>&1 &
    client=$!
    until updater=$(child_running "$client" "$bin/MervoUpgrade"); do sleep 0.01; done
    t0=$(started_ms "$updater")
    { wait "$client"; } 2>/dev/null || true
    ended=$(uptime_ms)
    until new=$(running "$bin/MervoClient"); do sleep 0.01; done
    started=$(started_ms "$new")
    until "$xwin" viewable "$new" 'Mervo 业务平台 - 登录'; do sleep 0.01; done
    shown=$(uptime_ms)
    grep -qx "Version=$next" "$bin/config.ini" || echo "note: run $run did not install $next"
    kill -9 "$new"
    echo "$((ended - t0)) $((started - ended)) $((shown - started)) $((shown - t0))" >>"$work/times.txt"
    while kill -0 "$new" 2>/dev/null; do sleep 0.05; done
done
col() { awk -v c="$1" '{print $c}' "$work/times.txt" | median; }
size() { stat -c %s "$1" | awk '{printf "%.0f KiB", $1 / 1024}'; }

echo "Update road from $version to $next, median of $RUNS runs"
echo
echo "| step | time |"
echo "|---|---|"
echo "| updater start → old client ended (check, download, signature) | $(col 1) ms |"
echo "| → new client started (installer: checks, unpack, swap) | $(col 2) ms |"
echo "| → new client's window with the login page | $(col 3) ms |"
echo "| updater start → new client's window | $(col 4) ms |"
echo
echo "| installer | size |"
echo "|---|---|"
echo "| $(basename "$package") (demo update) | $(size "$package") ($(stat -c %s "$package") bytes) |"
for release in "$BUILD"/packages/MervoSetup-*.run; do
    [ -f "$release" ] && echo "| $(basename "$release") (make package) | $(size "$release") ($(stat -c %s "$release") bytes) |"
done
