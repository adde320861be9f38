#!/usr/bin/env bash
# The updater's no-update path against a local service answering "no update", next
# to a Qt Widgets program that only creates its application object (the floor for
# any Qt GUI program), median of RUNS runs (default 10); then the signed installer
# download of SIZE_MIB (default 512) against curl -o to the same disk, DOWNLOADS runs
# of each taking turns (default 3): median time, highest peak RSS and peak PSS (whole
# process tree, sampled from /proc/PID/smaps_rollup every 50 ms).
source "$(dirname "$0")/common.sh"
ensure_display "$@"
RUNS=${RUNS:-10}
SIZE_MIB=${SIZE_MIB:-512}
DOWNLOADS=${DOWNLOADS:-3}
KEY=${KEY:-$BUILD/update-keys/mervo-update.key}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $DEMO_PID 2>/dev/null; rm -rf "$work"' EXIT
start_demo_service "$work"
mkdir -p "$work/demo" "$work/bin" "$work/sign"
"$here/../demo/write-config.sh" "$work/bin/config.ini" "$DEMO_URL"

time_ms() { local t0; t0=$(now_ms); "$@" >/dev/null 2>&1 || true; echo $(( $(now_ms) - t0 )); }

# Peak PSS in KiB of the processes below PID (not PID itself), sampled until PID
# ends; into FILE. Shell built-ins (and sleep) only, to disturb the run little.
pss_peak() {
    local pid=$1 file=$2 peak=0 sum p key value _ queue kids
    while kill -0 "$pid" 2>/dev/null; do
        sum=0
        queue=()
        { read -r -a queue < /proc/"$pid"/task/"$pid"/children; } 2>/dev/null || true
        while [ ${#queue[@]} -gt 0 ]; do
            p=${queue[0]}
            queue=("${queue[@]:1}")
            kids=()
            { read -r -a kids < /proc/"$p"/task/"$p"/children; } 2>/dev/null || true
            queue+=("${kids[@]}")
            { while read -r key value _; do
                [ "$key" = Pss: ] && sum=$(( sum + value ))
            done < /proc/"$p"/smaps_rollup; } 2>/dev/null || true
        done
        [ "$sum" -gt "$peak" ] && peak=$sum
        sleep 0.05
    done
    echo "$peak" > "$file"
}

# Runs a command under /usr/bin/time and samples its PSS; appends wall time (ms),
# peak RSS and peak PSS (KiB) as one line to NAME.txt.
measure() {
    local name=$1; shift
    sync # earlier runs' dirty pages would slow this run's writes
    local t0; t0=$(now_ms)
    /usr/bin/time -f "%M %U %S" -o "$work/time.txt" "$@" >/dev/null 2>"$work/$name.log" &
    local pid=$!
    pss_peak "$pid" "$work/pss.txt" &
    local sampler=$!
    wait "$pid" || true
    local t1; t1=$(now_ms)
    wait "$sampler"
    local rss cpu
    read -r rss cpu <<<"$(tail -1 "$work/time.txt" | awk '{printf "%s %d", $1, ($2 + $3) * 1000}')"
    echo "$(( t1 - t0 )) $rss $(cat "$work/pss.txt") $cpu" >> "$work/$name.txt"
}
column_median() { awk -v c="$2" '{print $c}' "$work/$1.txt" | median; }
column_max_mib() { awk -v c="$2" '$c > m {m = $c} END {printf "%.0f", m/1024}' "$work/$1.txt"; }
mibps() { awk -v s="$1" -v t="$2" 'BEGIN {printf "%.0f MiB/s", s/1048576/(t/1000)}'; }

for _ in $(seq "$RUNS"); do (cd "$work/bin" && time_ms "$BUILD/bin/MervoUpgrade" "-m MervoClient"); done > "$work/upd.txt"
for _ in $(seq "$RUNS"); do time_ms "$BUILD/bench/bench-qtfloor"; done > "$work/floor.txt"
upd=$(median < "$work/upd.txt"); floor=$(median < "$work/floor.txt")
echo "No-update path, median of $RUNS runs ($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -I))"
echo
echo "| program | time |"
echo "|---|---|"
echo "| MervoUpgrade (no update) | $upd ms |"
echo "| Qt Widgets floor | $floor ms |"
echo "| ratio | $(awk -v a="$upd" -v b="$floor" 'BEGIN {printf "%.2f", a/b}') |"
echo

# The bytes the service hands out, signed as the installer the update answer names.
installer=$work/sign/bench-installer.bin
curl -s -o "$installer" "$DEMO_URL/files/large.bin?mb=$SIZE_MIB"
size=$(stat -c %s "$installer")
if [ -f "$KEY" ]; then
    members=$("$here/../tools/sign-installer.sh" "$installer" 99.0 "$KEY" 2>/dev/null)
    road="signed"
else
    members='{"installerName": "bench-installer.bin"}'
    road="unsigned: no key at $KEY"
fi
rm -f "$installer"
cp -r "$here/../demo/." "$work/demo/"
echo "$members" | sed "s|^{|{\"success\": true, \"data\": {\"needUpdate\": true, \"url\": \"/files/large.bin?mb=$SIZE_MIB\", |; s|}\$|}}|" \
    > "$work/demo/update.json"
kill $DEMO_PID; wait $DEMO_PID 2>/dev/null || true
rm -f "$work/port"
"$BUILD/demo/server/mervo-demo-service" --port-file "$work/port" --state "$work" --demo "$work/demo" >/dev/null 2>&1 &
DEMO_PID=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
DEMO_URL="http://127.0.0.1:$(cat "$work/port")"
"$here/../demo/write-config.sh" "$work/bin/config.ini" "$DEMO_URL"
export TMPDIR="$work/tmp"; mkdir -p "$TMPDIR"

# The "installer" is started at the end; it is no program, which is fine here.
for _ in $(seq "$DOWNLOADS"); do
    rm -f "$TMPDIR/bench-installer.bin" "$work/curl.bin"
    measure curl curl -s -o "$work/curl.bin" "$DEMO_URL/files/large.bin?mb=$SIZE_MIB"
    (cd "$work/bin" && measure updater "$BUILD/bin/MervoUpgrade")
done
got=$(stat -c %s "$TMPDIR/bench-installer.bin" 2>/dev/null || echo 0)
upd_ms=$(column_median updater 1); curl_ms=$(column_median curl 1)
echo "Installer download of $SIZE_MIB MiB from 127.0.0.1 ($road), $DOWNLOADS runs each (load average $(cut -d' ' -f1-3 /proc/loadavg))"
echo
echo "| client | median time | throughput | CPU time (user + system) | peak RSS | peak PSS (process tree) |"
echo "|---|---|---|---|---|---|"
echo "| MervoUpgrade (check + download + verify + install) | $upd_ms ms | $(mibps "$got" "$upd_ms") | $(column_median updater 4) ms | $(column_max_mib updater 2) MiB | $(column_max_mib updater 3) MiB |"
echo "| curl -o | $curl_ms ms | $(mibps "$size" "$curl_ms") | $(column_median curl 4) ms | $(column_max_mib curl 2) MiB | $(column_max_mib curl 3) MiB |"
echo "| ratio (updater / curl) | | $(awk -v a="$curl_ms" -v b="$upd_ms" 'BEGIN {printf "%.2f", a/b}') | | | |"
[ "$got" = "$size" ] || { echo "note: the updater saved $got of $size bytes"; grep -h "refused" "$work/updater.log" || true; }
