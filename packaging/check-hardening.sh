#!/usr/bin/env bash
# check-hardening.sh [--compile-commands FILE] BINARY...
# Checks with readelf that every binary carries what Debian's dpkg-buildflags gives
# (hardening=+all): PIE for programs, full RELRO (GNU_RELRO and BIND_NOW), the stack
# protector. _FORTIFY_SOURCE leaves a trace in a binary only where a buffer size is known
# at compile time, so it is checked on the compile lines of a compilation database.
set -u
failed=0
fail() { echo "not hardened: $*" >&2; failed=1; }

if [ "${1:-}" = --compile-commands ]; then
    db=$2
    shift 2
    [ -s "$db" ] || fail "no compilation database $db"
    ours=$(grep '"command":' "$db" |
        grep -- '-o \([^ ]*/\)\{0,1\}\(client\|platform\|plugins\|upgrade\|packaging\)/')
    [ -n "$ours" ] || fail "$db holds no compile line of the deliverables"
    weak=$(grep -v -- '-D_FORTIFY_SOURCE=2' <<<"$ours" | grep -c .)
    [ "$weak" -eq 0 ] || fail "$weak compile lines without -D_FORTIFY_SOURCE=2 in $db"
fi

for bin in "$@"; do
    header=$(LC_ALL=C readelf -hldW "$bin" 2>/dev/null) || { fail "$bin is no ELF file"; continue; }
    case "$bin" in
    *.so) ;;
    *) grep -q 'Type:.*DYN' <<<"$header" && grep -q 'FLAGS_1.*PIE' <<<"$header" ||
           fail "$bin is no PIE" ;;
    esac
    grep -q GNU_RELRO <<<"$header" || fail "$bin has no RELRO segment"
    grep -q 'BIND_NOW\|FLAGS_1.*NOW' <<<"$header" || fail "$bin is not bound at load time (BIND_NOW)"
    LC_ALL=C readelf --dyn-syms -W "$bin" | grep -q '__stack_chk_fail' ||
        fail "$bin has no stack protector"
done
exit $failed
