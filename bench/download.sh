#!/usr/bin/env bash
# A large download (SIZE_MIB, default 1024) through the workspace, through a bare
# QWebEngineView and with curl, DOWNLOADS times each (default 3); see download.mjs.
source "$(dirname "$0")/common.sh"
ensure_display "$@"
export MERVO_BIN_DIR="$BUILD/bin" MERVO_DEMO_SERVICE="$BUILD/demo/server/mervo-demo-service"
export MERVO_DEMO_DIR="$(cd "$(dirname "$0")/../demo" && pwd)" MERVO_BENCH_DIR="$BUILD/bench"
node "$(dirname "$0")/download.mjs"
