#!/usr/bin/env bash
# Where the client's memory goes: the floor (a bare QWebEngineView showing the login page
# in a window of the screen's size) with one of the client's ingredients at a time, all of
# them, and the client itself; PSS of the main process and of the whole process tree
# SETTLE seconds (default 3) after the login page loaded, medians of RUNS starts (default
# 5) taken in turns. Then the main processes of the floor and the client by kind of
# mapping (/proc/PID/smaps).
source "$(dirname "$0")/common.sh"
ensure_display "$@"
RUNS=${RUNS:-5}
SETTLE=${SETTLE:-3}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $DEMO_PID 2>/dev/null; rm -rf "$work"' EXIT
start_demo_service "$work"
login="$DEMO_URL/login/index.html?source=demo"
mkdir -p "$work/bin"
cp "$BUILD/bin/MervoClient" "$BUILD/bin/signin_pl.so" "$BUILD/bin/ledger_pl.so" "$work/bin/"
"$here/../demo/write-config.sh" "$work/bin/config.ini" "$DEMO_URL"

# PSS in KiB of the main process's mappings by kind, one "kind kib" a line.
by_kind() {
    awk '
        /^[0-9a-f]+-[0-9a-f]+ / {
            name = $6
            if (name == "[heap]") kind = "heap"
            else if (name == "" || name ~ /^\[(anon|stack)/) kind = "anonymous"
            else if (name ~ /memfd:|SYSV|\/dev\/dri/) kind = "buffers-shared-with-X"
            else if (name ~ /_pl\.so$/) kind = "plug-ins"
            else if (name ~ /\.(ttf|ttc|otf|pfb)$/) kind = "fonts"
            else if (name ~ /\.(pak|qm|dat)$/) kind = "resources-and-translations"
            else if (name ~ /\.so/) kind = "libraries"
            else kind = "other"
            next
        }
        $1 == "Pss:" { sum[kind] += $2 }
        END { for (k in sum) print k, sum[k] }' "/proc/$1/smaps"
}

# measure NAME MARKER COMMAND...: one start; appends "main_kib tree_kib" to NAME.txt.
measure() {
    local name=$1 marker=$2
    shift 2
    local log=$work/run.log pid
    "$@" >"$log" 2>&1 &
    pid=$!
    for _ in $(seq 600); do grep -q -F -- "$marker" "$log" && break; sleep 0.05; done
    sleep "$SETTLE"
    local main=0 key value _
    while read -r key value _; do [ "$key" = Pss: ] && main=$value; done <"/proc/$pid/smaps_rollup"
    echo "$main $(tree_pss_kib "$pid")" >>"$work/$name.txt"
    by_kind "$pid" >>"$work/$name.kinds"
    end_tree "$pid"
}

rows=(floor qml gles highdpi chinese proxy pdf tray plugins window channel waiting mmap
    qml,gles,highdpi,chinese,proxy,pdf,tray,plugins,window,channel,waiting,mmap)
for _ in $(seq "$RUNS"); do
    for row in "${rows[@]}"; do
        measure "$row" "loaded 1" "$BUILD/bench/bench-footprint" "$login" "$BUILD/bin" "${row#floor}"
    done
    measure client 'load view end: true QUrl("http' "$work/bin/MervoClient"
done

col() { awk -v c="$2" '{print $c}' "$work/$1.txt" | median; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
delta() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%+.1f", (a - b) / 1024}'; }
floor_main=$(col floor 1)
floor_tree=$(col floor 2)
label() {
    case $1 in
    floor) echo "floor: bare QWebEngineView, window of the screen's size" ;;
    qml) echo "+ QtWebEngine::initialize (loads the engine's Qt Quick module)" ;;
    gles) echo "+ OpenGL ES (Qt::AA_UseOpenGLES)" ;;
    highdpi) echo "+ high-DPI attributes" ;;
    chinese) echo "+ Chinese locale, Qt translation, Accept-Language" ;;
    proxy) echo "+ system proxy settings" ;;
    pdf) echo "+ PDF viewer setting" ;;
    tray) echo "+ tray icon and menu" ;;
    plugins) echo "+ the two module plug-ins loaded" ;;
    window) echo "+ view in a main window's layout" ;;
    channel) echo "+ web channel with an object" ;;
    waiting) echo "+ waiting page in a small view over the view's own page" ;;
    mmap) echo "+ freed big buffers returned (fixed mmap threshold)" ;;
    client) echo "MervoClient" ;;
    *) echo "+ all of the above" ;;
    esac
}

echo "Memory of the client's ingredients on the floor, medians of $RUNS starts, ${SETTLE} s after"
echo "the login page loaded ($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -I))"
echo
echo "| program | main process PSS | vs floor | process tree PSS | vs floor |"
echo "|---|---|---|---|---|"
for row in "${rows[@]}" client; do
    main=$(col "$row" 1)
    tree=$(col "$row" 2)
    echo "| $(label "$row") | $(mib "$main") MiB | $(delta "$main" "$floor_main") MiB |" \
        "$(mib "$tree") MiB | $(delta "$tree" "$floor_tree") MiB |"
done
echo
kind_median() { awk -v k="$2" '$1 == k {print $2}' "$work/$1.kinds" | median; }
echo "| main process by kind of mapping | floor | MervoClient | difference |"
echo "|---|---|---|---|"
for kind in heap anonymous buffers-shared-with-X libraries plug-ins fonts \
    resources-and-translations other; do
    f=$(kind_median floor $kind)
    c=$(kind_median client $kind)
    echo "| $kind | $(mib "${f:-0}") MiB | $(mib "${c:-0}") MiB | $(delta "${c:-0}" "${f:-0}") MiB |"
done
