#!/usr/bin/env bash
# The updater's no-update path against a local service answering "no update", next
# to a Qt Widgets program that only creates its application object (the floor for
# any Qt GUI program), median of RUNS runs (default 10); then the installer download
# of SIZE_MIB (default 512) against curl -o to the same disk, with the updater's peak RSS.
source "$(dirname "$0")/common.sh"
ensure_display "$@"
RUNS=${RUNS:-10}
SIZE_MIB=${SIZE_MIB:-512}
work=$(mktemp -d)
trap 'kill $DEMO_PID 2>/dev/null; rm -rf "$work"' EXIT
start_demo_service "$work"
mkdir -p "$work/demo" "$work/bin"
"$(dirname "$0")/../demo/write-config.sh" "$work/bin/config.ini" "$DEMO_URL"

time_ms() { local t0; t0=$(now_ms); "$@" >/dev/null 2>&1 || true; echo $(( $(now_ms) - t0 )); }

for _ in $(seq "$RUNS"); do (cd "$work/bin" && time_ms "$BUILD/bin/MervoUpgrade" "-m MervoClient"); done > "$work/upd.txt"
for _ in $(seq "$RUNS"); do time_ms "$BUILD/bench/bench-qtfloor"; done > "$work/floor.txt"
upd=$(median < "$work/upd.txt"); floor=$(median < "$work/floor.txt")
echo "No-update path, median of $RUNS runs"
echo
echo "| program | time |"
echo "|---|---|"
echo "| MervoUpgrade (no update) | $upd ms |"
echo "| Qt Widgets floor | $floor ms |"
echo "| ratio | $(awk -v a="$upd" -v b="$floor" 'BEGIN {printf "%.2f", a/b}') |"
echo

# The download: a service copy whose update answer points at a large generated file.
cp -r "$(dirname "$0")/../demo/." "$work/demo/"
cat > "$work/demo/update.json" <<JSON
{"success": true, "data": {"needUpdate": true, "url": "/files/large.bin?mb=$SIZE_MIB", "installerName": "bench-installer.bin"}}
JSON
kill $DEMO_PID; wait $DEMO_PID 2>/dev/null || true
rm -f "$work/port"
"$BUILD/demo/server/mervo-demo-service" --port-file "$work/port" --state "$work" --demo "$work/demo" >/dev/null 2>&1 &
DEMO_PID=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
DEMO_URL="http://127.0.0.1:$(cat "$work/port")"
"$(dirname "$0")/../demo/write-config.sh" "$work/bin/config.ini" "$DEMO_URL"
export TMPDIR="$work/tmp"; mkdir -p "$TMPDIR"

t0=$(now_ms)
(cd "$work/bin" && /usr/bin/time -v -o "$work/upd-time.txt" "$BUILD/bin/MervoUpgrade" >/dev/null 2>&1 || true)
upd_ms=$(( $(now_ms) - t0 ))
# The "installer" is started at the end; it is no program, which is fine here.
t0=$(now_ms)
curl -s -o "$work/curl.bin" "$DEMO_URL/files/large.bin?mb=$SIZE_MIB"
curl_ms=$(( $(now_ms) - t0 ))
size=$(stat -c %s "$work/curl.bin")
got=$(stat -c %s "$TMPDIR/bench-installer.bin" 2>/dev/null || echo 0)
rss=$(awk '/Maximum resident/ {printf "%.0f", $6/1024}' "$work/upd-time.txt")
echo "Installer download of $SIZE_MIB MiB from 127.0.0.1"
echo
echo "| client | time | throughput | peak RSS |"
echo "|---|---|---|---|"
echo "| MervoUpgrade (check + download + install) | $upd_ms ms | $(awk -v s="$got" -v t="$upd_ms" 'BEGIN {printf "%.0f MiB/s", s/1048576/(t/1000)}') | $rss MiB |"
echo "| curl -o | $curl_ms ms | $(awk -v s="$size" -v t="$curl_ms" 'BEGIN {printf "%.0f MiB/s", s/1048576/(t/1000)}') | - |"
echo "| ratio (updater / curl throughput) | $(awk -v a="$curl_ms" -v b="$upd_ms" 'BEGIN {printf "%.2f", a/b}') | | |"
[ "$got" = "$size" ] || echo "note: the updater saved $got of $size bytes"
