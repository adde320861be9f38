#!/usr/bin/env bash
# Start-up against the demo service, side by side in one run: the client (a program
# folder without the updater, and one whose updater gets the answer "no update"), a bare
# QWebEngineView loading the same login page in a window of the same size (the floor for
# any Qt WebEngine client) and headless Chromium. Per start: time to the window shown
# (mapped on the X server), time to the login page loaded (the view's load finished, for
# Chromium its load event) and, SETTLE seconds later (default 3), the PSS of the whole
# process tree (main process and every web engine process) and the main process's peak
# RSS. One warm-up start each, then RUNS rounds (default 7) taking turns; medians.
source "$(dirname "$0")/common.sh"
ensure_display "$@"
RUNS=${RUNS:-7}
SETTLE=${SETTLE:-3}
export SETTLE
here=$(cd "$(dirname "$0")" && pwd)
clock=$BUILD/bench/bench-mapwatch
work=$(mktemp -d)
trap 'kill $DEMO_PID 2>/dev/null; rm -rf "$work"' EXIT

if ! command -v chromium >/dev/null; then
    echo "chromium is missing: make bench-deps installs it" >&2
    exit 1
fi

start_demo_service "$work"
login="$DEMO_URL/login/index.html?source=demo"
for folder in bin bin-upd; do
    mkdir -p "$work/$folder"
    cp "$BUILD/bin/MervoClient" "$BUILD/bin/signin_pl.so" "$BUILD/bin/ledger_pl.so" "$work/$folder/"
    "$here/../demo/write-config.sh" "$work/$folder/config.ini" "$DEMO_URL"
done
cp "$BUILD/bin/MervoUpgrade" "$work/bin-upd/"

# Every log line with the monotonic time in seconds, the clock of bench-mapwatch.
export QT_MESSAGE_PATTERN='%{time boot} %{message}'

# Milliseconds from T0 to the first log line containing TEXT (empty when none).
log_ms() { grep -m1 -F -- "$3" "$1" | awk -v t0="$2" '{printf "%d", $1 * 1000 - t0}'; }

# start NAME MARKER COMMAND...: one start of a Qt program that logs MARKER when the login
# page has loaded; appends "shown loaded pss_kib hwm_kib processes" to NAME.txt.
start() {
    local name=$1 marker=$2
    shift 2
    local log=$work/$name.log t0 pid watcher
    t0=$("$clock" now)
    "$@" >"$log" 2>&1 &
    pid=$!
    "$clock" "$pid" >"$work/shown" &
    watcher=$!
    for _ in $(seq 600); do grep -q -F -- "$marker" "$log" && break; sleep 0.05; done
    wait $watcher || true
    sleep "$SETTLE"
    local shown line
    shown=$(cat "$work/shown")
    line="$([ -n "$shown" ] && echo $((shown - t0)) || echo -) $(log_ms "$log" "$t0" "$marker")"
    line+=" $(tree_pss_kib "$pid") $(status_kib "$pid" VmHWM) $(tree_pids "$pid" | wc -l)"
    end_tree "$pid"
    echo "$line" >>"$work/$name.txt"
    # Where the client's time goes: plug-ins loaded (after the updater), waiting page
    # asked for, waiting page loaded, login page asked for (the page's reload).
    if [ "$name" != floor ]; then
        echo "$(log_ms "$log" "$t0" "load plugins path:") $(log_ms "$log" "$t0" "====loading page start")" \
            "$(log_ms "$log" "$t0" '====loading page end')" \
            "$(log_ms "$log" "$t0" "...time out reload...")" >>"$work/$name.steps"
    fi
}

chromium_start() {
    node "$here/chromium-load.mjs" "$login" "$work/chromium" | awk '{print "-", $1, $2, $3, "-"}' \
        >>"$work/chromium.txt"
}

round() {
    start client 'load view end: true QUrl("http' "$work/bin/MervoClient"
    start client-upd 'load view end: true QUrl("http' "$work/bin-upd/MervoClient"
    start floor 'loaded 1' "$BUILD/bench/bench-webfloor" "$login"
    chromium_start
}

round # warm-up: first starts fill the disk caches
rm -f "$work"/*.txt "$work"/*.steps
for _ in $(seq "$RUNS"); do round; done

col() { awk -v c="$2" '$c != "-" {print $c}' "$work/$1.txt" | median; }
mib() { awk -v k="$1" 'BEGIN {printf "%.0f", k / 1024}'; }
ms() { [ -n "$1" ] && echo "$1 ms" || echo "-"; }
row() {
    local shown
    shown=$(col "$2" 1)
    printf '| %s | %s | %s ms | %s MiB | %s MiB | %s |\n' "$1" "$(ms "$shown")" "$(col "$2" 2)" \
        "$(mib "$(col "$2" 3)")" "$(mib "$(col "$2" 4)")" "$(col "$2" 5 | grep . || echo -)"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

echo "Start-up against the demo service on 127.0.0.1: medians of $RUNS starts each, taken in turns"
echo "after one warm-up start ($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -I))"
echo
echo "| program | window shown | login page loaded | PSS of the process tree ${SETTLE} s later | peak RSS, main process | processes |"
echo "|---|---|---|---|---|---|"
row "MervoClient" client
row "MervoClient + MervoUpgrade (answer: no update)" client-upd
row "bare QWebEngineView (floor)" floor
row "chromium --headless" chromium
floor_loaded=$(col floor 2)
floor_pss=$(col floor 3)
printf '| ratio MervoClient / floor | %s | %s | %s | %s | |\n' \
    "$(ratio "$(col client 1)" "$(col floor 1)")" "$(ratio "$(col client 2)" "$floor_loaded")" \
    "$(ratio "$(col client 3)" "$floor_pss")" "$(ratio "$(col client 4)" "$(col floor 4)")"
printf '| target | | ≤ 1.1 × floor + 200 ms = %s ms | ≤ 1.1 × floor = %s MiB | | |\n' \
    "$(awk -v f="$floor_loaded" 'BEGIN {printf "%.0f", 1.1 * f + 200}')" \
    "$(awk -v f="$floor_pss" 'BEGIN {printf "%.0f", 1.1 * f / 1024}')"
echo
step() { awk -v c="$2" '$c != "" {print $c}' "$work/$1.steps" | median; }
for name in client client-upd; do
    echo "$name, median ms from start: plug-ins loaded $(step $name 1), waiting page asked" \
        "$(step $name 2), waiting page loaded $(step $name 3), login page asked $(step $name 4)," \
        "login page loaded $(col $name 2)."
done
echo "The client asks for the login page 200 ms after its waiting page's web channel is up."
