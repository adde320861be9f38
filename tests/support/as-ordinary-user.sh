#!/usr/bin/env bash
# Runs a test program as an ordinary user (nobody) when started as root, so that file
# permissions mean what they mean for the client's users: root may write any file.
# The program is copied into a folder of its own first, which that user can reach.
set -u
program=$1
shift
if [ "$(id -u)" != 0 ]; then
    exec "$program" "$@"
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mervo-user.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cp "$program" "$scratch/"
chown -R nobody:nogroup "$scratch"
setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env HOME="$scratch" TMPDIR="$scratch" "$scratch/$(basename "$program")" "$@"
