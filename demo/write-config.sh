#!/usr/bin/env bash
# write-config.sh CONFIG_INI SERVICE_URL: sets the installation's keys of config.ini
# for the demo service and keeps every other key (all of them live in [Sys]).
set -euo pipefail
ini=$1
url=$2
[ -f "$ini" ] && grep -q '^\[Sys\]' "$ini" || printf '[Sys]\n' >> "$ini"
set_key() {
    sed -i "/^$1=/d" "$ini"
    sed -i "s|^\[Sys\]\$|[Sys]\n$1=$2|" "$ini"
}
set_key LoginUrl "$url/login/index.html"
set_key Source demo
set_key SourceId 7
set_key Version 1.0.0.6
set_key ServiceUrl "$url/update"
set_key QidianOrigin "https://admin.qidian.example/"
set_key QidianRelay "$url/qidian/"
