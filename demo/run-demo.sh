#!/usr/bin/env bash
# make demo: starts the demo service on a free port, points the program folder's
# config.ini at it, runs the client and stops the service when the client quits.
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

# Settings the installation would bring; remembered choices (close action,
# multi-instance, cached identity) of earlier runs are kept.
"$here/write-config.sh" "$bin/config.ini" "$url"

echo "Demo service: $url/login/index.html  (accounts: $here/accounts.json, updates: $here/update.json)"
echo "Service records: $state"
# Chromium refuses to run as root with its sandbox on.
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
"$bin/MervoClient"
