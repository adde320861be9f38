#!/usr/bin/env bash
# sign-installer.sh INSTALLER VERSION SECRET_KEY
# Signs INSTALLER with minisign (INSTALLER.minisig beside it); its trusted comment
# "file:<name> version:<VERSION> size:<bytes>" binds the file name, version and size
# the updater checks (it reads no more than that many bytes).
# Prints the update answer's data members for it (the caller adds "url"):
#   {"installerName": ..., "signature": ..., "sha256": ...}
set -euo pipefail
if [ $# -ne 3 ]; then
    echo "usage: $0 INSTALLER VERSION SECRET_KEY" >&2
    exit 2
fi
installer=$1 version=$2 key=$3
name=$(basename -- "$installer")
[ -f "$installer" ] || { echo "no such file: $installer" >&2; exit 1; }
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || { echo "version must be dotted numbers: $version" >&2; exit 1; }
[[ $name =~ [[:cntrl:]\"\\] ]] && { echo "file name cannot be sent: $name" >&2; exit 1; }

size=$(stat -c %s -- "$installer")
minisign -S -s "$key" -m "$installer" -x "$installer.minisig" \
    -t "file:$name version:$version size:$size" >&2
sha=$(sha256sum -- "$installer" | cut -d' ' -f1)
signature=$(awk '{ printf "%s\\n", $0 }' "$installer.minisig")
printf '{"installerName": "%s", "signature": "%s", "sha256": "%s"}\n' "$name" "$signature" "$sha"
