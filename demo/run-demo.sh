#!/usr/bin/env bash
# Starts the client from the program folder. Usage: run-demo.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
bin="$build/bin"
[ -f "$bin/config.ini" ] || : > "$bin/config.ini"
if [ -z "${DISPLAY:-}" ]; then
    echo "No DISPLAY: run it on a virtual screen instead, for example:"
    echo "  xvfb-run -a -s '-screen 0 1600x1000x24' make demo"
    exit 1
fi
# Chromium refuses to run as root with its sandbox on.
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$bin/MervoClient"
