#!/usr/bin/env bash
# make-package.sh [--key SECRET_KEY] [--trust PUBLIC_KEYS|none] [--unhardened]
#                 BUILD_DIR OUT_DIR [VERSION]
# Lays out a built tree by its install rules and wraps it with makeself into
# OUT_DIR/MervoSetup-<version>.run, replacing any other MervoSetup file there, then
# signs it (MervoSetup-<version>.run.minisig) with SECRET_KEY, else with the key the
# environment names in MERVO_UPDATE_SECRET_KEY. PUBLIC_KEYS are the keys the build's
# updater trusts: the signature must check with one of them; with "none" the updater
# takes unsigned installers and a key is optional. The version is the build's own
# unless VERSION is given. --unhardened packages a build without hardening (demo only).
set -euo pipefail
key=
trust=
hardened=1
while [ $# -gt 0 ]; do
    case "$1" in
    --key) key=$2; shift 2 ;;
    --trust) trust=$2; shift 2 ;;
    --unhardened) hardened=0; shift ;;
    *) break ;;
    esac
done
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 [--key SECRET_KEY] [--trust PUBLIC_KEYS|none] [--unhardened] BUILD_DIR OUT_DIR [VERSION]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
out=$2
version=${3:-}
here=$(cd "$(dirname "$0")" && pwd)

if [ -n "$key" ] && [ -n "${MERVO_UPDATE_SECRET_KEY:-}" ] && [ "$MERVO_UPDATE_SECRET_KEY" != "$key" ]; then
    echo "note: MERVO_UPDATE_SECRET_KEY is not used: this build signs with its own key $key" >&2
    echo "      (a release build is configured with -DMERVO_UPDATE_KEYS=PUBLIC_KEY_FILE)" >&2
fi
key=${key:-${MERVO_UPDATE_SECRET_KEY:-}}
# An installer the updater would refuse is not shipped.
mkdir -p "$out"
rm -f "$out"/MervoSetup-*
if [ -z "$key" ] && [ "$trust" != none ]; then
    echo "error: no key to sign the installer with. The updater of this build trusts" >&2
    echo "       ${trust:-signed installers only}; name the secret key that matches, for example" >&2
    echo "       make package MERVO_UPDATE_SECRET_KEY=/path/to/mervo-release.key" >&2
    echo "       Nothing was packaged." >&2
    exit 1
fi
[ -z "$key" ] || [ -f "$key" ] || { echo "error: no secret key file $key; nothing was packaged" >&2; exit 1; }
[ -z "$trust" ] || [ "$trust" = none ] || [ -f "$trust" ] ||
    { echo "error: no public key file $trust; nothing was packaged" >&2; exit 1; }

stage=$(mktemp -d "${TMPDIR:-/tmp}/mervo-package.XXXXXX")
package=
trap 'rm -rf "$stage"; [ -z "$package" ] || rm -f "$package" "$package.minisig"' EXIT
payload=$stage/payload
cmake --install "$build" --prefix "$payload" --strip >/dev/null
ini=$payload/setup/mervo-ini
[ -z "$version" ] || "$ini" set "$payload/program/config.ini" "Version=$version"
version=$("$ini" get "$payload/program/config.ini" Version)

binaries=("$payload"/program/MervoClient "$payload"/program/MervoUpgrade "$payload"/program/*.so "$ini")
[ $hardened = 0 ] || "$here/check-hardening.sh" "${binaries[@]}" ||
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

package=$out/MervoSetup-$version.run
makeself --quiet --nox11 --noprogress --sha256 --keep-umask "$payload" "$package" "Mervo $version" \
    ./setup/setup.sh

if [ -n "$key" ]; then
    "$here/../tools/sign-installer.sh" "$package" "$version" "$key" >/dev/null
    if [ -n "$trust" ] && [ "$trust" != none ]; then
        trusted=0
        while IFS= read -r public; do
            minisign -Vq -P "$public" -m "$package" 2>/dev/null && trusted=1 && break
        done < <(grep -E '^RW[A-Za-z0-9+/]{54}$' "$trust")
        if [ $trusted = 0 ]; then
            echo "error: $key is no secret key of the public keys in $trust, which the" >&2
            echo "       updater of this build trusts; nothing was packaged" >&2
            exit 1
        fi
    fi
    echo "$package.minisig"
elif [ "$trust" = none ]; then
    echo "note: not signed; the updater of this build takes unsigned installers" >&2
fi
echo "$package"
package=
