# Shared helpers of the benchmark scripts.
set -euo pipefail
BUILD=${BUILD:-$(cd "$(dirname "$0")/.." && pwd)/build}
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-background-networking --disable-component-update"

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
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
