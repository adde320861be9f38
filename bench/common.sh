# Shared helpers of the benchmark scripts.
set -euo pipefail
BUILD=${BUILD:-$(cd "$(dirname "$0")/.." && pwd)/build}
export QTWEBENGINE_DISABLE_SANDBOX=1
# BENCH_CHROMIUM_FLAGS: more engine flags, for example a process model to compare with
# the client's own (--renderer-process-limit=1 alone names one, so the client adds none).
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-background-networking --disable-component-update ${BENCH_CHROMIUM_FLAGS:-}"

median() { sort -n | awk '{a[NR]=$1} END {if (NR == 0) exit; if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
now_ms() { date +%s%3N; }

# Runs the rest of the script on a private X server unless one is given.
ensure_display() {
    if [ -z "${DISPLAY:-}" ]; then
        exec "$(dirname "$0")/../tests/support/xvfb-wrap.sh" "$0" "$@"
    fi
}

# start_demo_service STATE_DIR [SERVICE_OPTION...]
start_demo_service() {
    local state=$1
    rm -f "$state/port"
    "$BUILD/demo/server/mervo-demo-service" --port-file "$state/port" --state "$state" "${@:2}" \
        >/dev/null 2>&1 &
    DEMO_PID=$!
    for _ in $(seq 100); do [ -s "$state/port" ] && break; sleep 0.05; done
    DEMO_URL="http://127.0.0.1:$(cat "$state/port")"
}

# PID and every process below it (the children of all its threads), one a line.
# Shell built-ins only, so sampling disturbs the measured programs little.
tree_pids() {
    local queue=("$1") p kids f
    while [ ${#queue[@]} -gt 0 ]; do
        p=${queue[0]}
        queue=("${queue[@]:1}")
        echo "$p"
        for f in /proc/"$p"/task/*/children; do
            kids=()
            { read -r -a kids <"$f"; } 2>/dev/null || true
            queue+=("${kids[@]}")
        done
    done
}

# PSS in KiB of PID and every process below it (/proc/PID/smaps_rollup).
tree_pss_kib() {
    local sum=0 p key value _
    for p in $(tree_pids "$1"); do
        { while read -r key value _; do
            [ "$key" = Pss: ] && sum=$((sum + value))
        done <"/proc/$p/smaps_rollup"; } 2>/dev/null || true
    done
    echo "$sum"
}

# A line of /proc/PID/status in KiB (VmHWM: peak RSS, VmRSS: RSS).
status_kib() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }

# Ends PID with SIGTERM and waits until no process of its tree is left (at most 10 s).
end_tree() {
    local pids
    pids=$(tree_pids "$1")
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
    for _ in $(seq 200); do
        local alive=0 p
        for p in $pids; do kill -0 "$p" 2>/dev/null && alive=1; done
        [ $alive = 0 ] && return
        sleep 0.05
    done
    for p in $pids; do kill -KILL "$p" 2>/dev/null || true; done
}
