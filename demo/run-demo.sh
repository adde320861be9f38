#!/usr/bin/env bash
# make demo: starts the demo service on a free port, points the program folder's
# config.ini at it, runs the client and stops the service when the client quits.
# When the updater ends the client for an update, the service stays for the client
# the installer starts.
# Usage: run-demo.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bin="$build/bin"
state="$build/demo-state"
mkdir -p "$state"

if [ -z "${DISPLAY:-}" ]; then
    echo "No DISPLAY: run the demo on a virtual screen instead, for example:"
    echo "  xvfb-run -a -s '-screen 0 1600x1000x24' make demo"
    exit 1
fi

rm -f "$state/port"
"$build/demo/server/mervo-demo-service" --port-file "$state/port" --state "$state" --demo "$here" \
    > "$state/service.log" 2>&1 &
service=$!
trap 'kill $service 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$state/port" ] && break; sleep 0.05; done
port=$(cat "$state/port")
url="http://127.0.0.1:$port"

# Settings the installation would bring, the version of this build among them (an
# update shown earlier raised it); remembered choices (close action, multi-instance,
# cached identity) of earlier runs are kept.
version=$("$build/packaging/mervo-ini" get "$build/packaging/config.ini" Version)
"$here/write-config.sh" "$bin/config.ini" "$url" "$version"

update=$(ls "$build"/demo-update/MervoSetup-*.run 2>/dev/null || echo "none")
echo "Demo service: $url/login/index.html  (accounts: $here/accounts.json)"
echo "Updates: $here/update.json offers $update when \"needUpdate\" is true"
echo "Service records: $state"
# Chromium refuses to run as root with its sandbox on.
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

client_running() {
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$bin/MervoClient" ] && return 0
    done
    return 1
}
status=0
"$bin/MervoClient" || status=$?
# Ended by the updater (SIGKILL): wait for the installer's client, then for its end.
if [ $status = 137 ]; then
    echo "The client was ended for an update; the installer starts the new one."
    for _ in $(seq 120); do client_running && break; sleep 0.5; done
    while client_running; do sleep 1; done
fi
