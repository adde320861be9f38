#!/usr/bin/env bash
# Soak: ROUNDS (default 200) of login, report window, close, log-out against the demo
# service; prints the client's RSS, the process tree's PSS and its X windows.
source "$(dirname "$0")/common.sh"
ensure_display "$@"
export MERVO_BIN_DIR="$BUILD/bin" MERVO_DEMO_SERVICE="$BUILD/demo/server/mervo-demo-service"
export MERVO_DEMO_DIR="$(cd "$(dirname "$0")/../demo" && pwd)"
export MERVO_XWIN="$BUILD/tests/support/mervo-xwin"
node "$(dirname "$0")/soak.mjs"
