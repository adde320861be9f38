#!/usr/bin/env bash
# Large download through the workspace against curl; SIZE_MIB (default 1024).
source "$(dirname "$0")/common.sh"
ensure_display "$@"
export MERVO_BIN_DIR="$BUILD/bin" MERVO_DEMO_SERVICE="$BUILD/demo/server/mervo-demo-service"
export MERVO_DEMO_DIR="$(cd "$(dirname "$0")/../demo" && pwd)"
node "$(dirname "$0")/download.mjs"
