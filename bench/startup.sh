#!/usr/bin/env bash
# Start-up of the client against the demo service, no updater in the program folder.
# Prints a table: time to the shown window, time to the first finished load of the
# login page, the main process's peak RSS; against a bare Qt WebEngine view loading
# the same page (the floor for any Qt WebEngine client) and, when installed,
# headless Chromium. Median of RUNS runs (default 10).
source "$(dirname "$0")/common.sh"
ensure_display "$@"
RUNS=${RUNS:-10}
work=$(mktemp -d)
trap 'kill $DEMO_PID 2>/dev/null; rm -rf "$work"' EXIT
start_demo_service "$work"
login="$DEMO_URL/login/index.html?source=demo"

folder="$work/bin"
mkdir -p "$folder"
cp "$BUILD/bin/MervoClient" "$BUILD/bin/signin_pl.so" "$BUILD/bin/ledger_pl.so" "$folder/"
"$(dirname "$0")/../demo/write-config.sh" "$folder/config.ini" "$DEMO_URL"

# run_once COMMAND... : prints "shown_ms loaded_ms rss_kb" for one start.
run_once() {
    local log="$work/run.log" timing="$work/time.txt" marker=$1; shift
    : > "$log"
    local t0; t0=$(now_ms)
    /usr/bin/time -v -o "$timing" "$@" > "$log" 2>&1 &
    local wrapper=$! pid=""
    for _ in $(seq 500); do pid=$(pgrep -P $wrapper || true); [ -n "$pid" ] && break; sleep 0.01; done
    local shown=""
    for _ in $(seq 3000); do
        if [ -z "$shown" ] && [ -n "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null)" ]; then
            shown=$(( $(now_ms) - t0 ))
        fi
        grep -q "$marker" "$log" && break
        sleep 0.01
    done
    local loaded=$(( $(now_ms) - t0 ))
    sleep 1
    kill -TERM "$pid" 2>/dev/null || true
    wait $wrapper 2>/dev/null || true
    echo "${shown:-0} $loaded $(awk '/Maximum resident/ {print $6}' "$timing")"
}

measure() {
    local name=$1; shift
    local results="$work/$name.txt"
    : > "$results"
    for _ in $(seq "$RUNS"); do run_once "$@" >> "$results"; done
    printf '| %s | %s ms | %s ms | %s MiB |\n' "$name" \
        "$(cut -d' ' -f1 "$results" | median)" "$(cut -d' ' -f2 "$results" | median)" \
        "$(cut -d' ' -f3 "$results" | median | awk '{printf "%.0f", $1/1024}')"
}

echo "Start-up, median of $RUNS runs ($(nproc) cores, $(date -I))"
echo
echo "| program | window shown | login page loaded | peak RSS (main process) |"
echo "|---|---|---|---|"
measure "MervoClient" 'load view end: true QUrl("http' "$folder/MervoClient"
measure "bare QWebEngineView" 'loaded 1' "$BUILD/bench/bench-webfloor" "$login"
if command -v chromium >/dev/null; then
    results="$work/chromium.txt"; : > "$results"
    for _ in $(seq "$RUNS"); do
        t0=$(now_ms)
        chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
            --user-data-dir="$work/chromium" --dump-dom "$login" > /dev/null 2>&1
        echo $(( $(now_ms) - t0 )) >> "$results"
    done
    printf '| chromium --headless --dump-dom | - | %s ms (whole run) | - |\n' "$(median < "$results")"
fi
echo
echo "The client shows its waiting page first and asks for the login page 200 ms after"
echo "its web channel is up, so its login page load includes that wait."
