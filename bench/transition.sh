#!/usr/bin/env bash
# The switches a person waits for, against the demo service: the login button's click until
# the workspace page has loaded, the log-out click until the login page has loaded, and a
# second start until the first client's hidden window is shown again. Each beside its floor
# in the same run: the page's own load in its renderer (Navigation Timing), and the second
# process's start. ROUNDS rounds (default 7) after one warm-up round; medians.
source "$(dirname "$0")/common.sh"
ensure_display "$@"
export MERVO_BIN_DIR="$BUILD/bin" MERVO_DEMO_SERVICE="$BUILD/demo/server/mervo-demo-service"
export MERVO_DEMO_DIR="$(cd "$(dirname "$0")/../demo" && pwd)"
export MERVO_XWIN="$BUILD/tests/support/mervo-xwin" MERVO_MAPWATCH="$BUILD/bench/bench-mapwatch"
# A system tray, so that closing the window hides it there.
trayer --edge top --widthtype pixel --width 64 &
tray=$!
trap 'kill $tray 2>/dev/null' EXIT
for _ in $(seq 100); do "$MERVO_XWIN" tray && break; sleep 0.1; done
node "$(dirname "$0")/transition.mjs"
