#!/usr/bin/env bash
# make-package.sh BUILD_DIR OUT_DIR [VERSION]
# Lays out a built tree by its install rules and wraps it with makeself into
# OUT_DIR/MervoSetup-<version>.run, replacing any other MervoSetup file there. The
# version is the build's own unless VERSION is given (a test may want another one).
set -euo pipefail
build=$(cd "$1" && pwd)
out=$2
version=${3:-}
here=$(cd "$(dirname "$0")" && pwd)

stage=$(mktemp -d "${TMPDIR:-/tmp}/mervo-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
payload=$stage/payload
cmake --install "$build" --prefix "$payload" --strip >/dev/null
ini=$payload/setup/mervo-ini
[ -z "$version" ] || "$ini" set "$payload/program/config.ini" "Version=$version"
version=$("$ini" get "$payload/program/config.ini" Version)

binaries=("$payload"/program/MervoClient "$payload"/program/MervoUpgrade "$payload"/program/*.so "$ini")
"$here/check-hardening.sh" "${binaries[@]}" ||
    { echo "build with CMAKE_BUILD_TYPE=Release or RelWithDebInfo to package" >&2; exit 1; }

# The Debian packages that hold the libraries the binaries load, for the installer's
# runtime check; none where dpkg is absent.
owner() {
    local path
    for path in "$1" "$(readlink -f "$1")"; do
        for candidate in "$path" "/usr${path#/usr}" "${path#/usr}"; do
            dpkg-query -S "$candidate" 2>/dev/null | sed -n '1s/[:,].*//p' | grep . && return
        done
    done
    echo "warning: no Debian package holds $1; the installer will not ask for it" >&2
}
: >"$payload/setup/runtime-packages"
if command -v dpkg-query >/dev/null; then
    # Only what a binary names itself; the packages bring their own dependencies.
    needed=$(LC_ALL=C readelf -dW "${binaries[@]}" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    for lib in $(LC_ALL=C ldd "${binaries[@]}" | awk '$2 == "=>" && $3 ~ /^\// { print $3 }' | sort -u); do
        if grep -qxF "$(basename "$lib")" <<<"$needed"; then owner "$lib"; fi
    done | sort -u >"$payload/setup/runtime-packages"
fi

mkdir -p "$out"
rm -f "$out"/MervoSetup-*
package=$out/MervoSetup-$version.run
makeself --quiet --nox11 --noprogress --sha256 --keep-umask "$payload" "$package" "Mervo $version" \
    ./setup/setup.sh
echo "$package"
