#!/usr/bin/env bash
# write-config.sh CONFIG_INI SERVICE_URL [VERSION]: sets the installation's keys of
# config.ini for the demo service (Version only when given) and keeps every other key
# (all of them live in [Sys]).
set -euo pipefail
ini=$1
url=$2
version=${3:-}
[ -f "$ini" ] && grep -q '^\[Sys\]' "$ini" || printf '[Sys]\n' >> "$ini"
set_key() {
    sed -i "/^$1=/d" "$ini"
    sed -i "s|^\[Sys\]\$|[Sys]\n$1=$2|" "$ini"
}
set_key LoginUrl "$url/login/index.html"
set_key Source demo
set_key SourceId 7
[ -z "$version" ] || set_key Version "$version"
set_key ServiceUrl "$url/update"
set_key QidianOrigin "https://admin.qidian.example/"
set_key QidianRelay "$url/qidian/"
