#!/usr/bin/env bash
# make-deb.sh BUILD_DIR OUT_DIR: lays out a built tree as the Debian package
# OUT_DIR/mervo-client_<version>_<arch>.deb for a system-wide installation:
#   /usr/lib/mervo-client/      the four deliverables, the marker that the package manager
#                               updates them, config.ini -> /etc/mervo-client/config.ini
#   /usr/bin/mervo-client       the launcher
#   /etc/mervo-client/          config.ini, a conffile: the installation's keys
#   /usr/share/                 desktop entry, icons, man page, copyright, changelog
# The dependencies come from dpkg-shlibdeps.
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR OUT_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
out=$2
here=$(cd "$(dirname "$0")" && pwd)
deb=$here/deb

stage=$(mktemp -d "${TMPDIR:-/tmp}/mervo-deb.XXXXXX")
trap 'rm -rf "$stage"' EXIT
payload=$stage/payload
cmake --install "$build" --prefix "$payload" --strip >/dev/null
ini=$payload/setup/mervo-ini
version=$("$ini" get "$payload/program/config.ini" Version)
arch=$(dpkg --print-architecture)
[ -n "$version" ] || { echo "error: config.ini names no Version" >&2; exit 1; }

root=$stage/root
lib=$root/usr/lib/mervo-client
doc=$root/usr/share/doc/mervo-client
install -d "$lib" "$root/usr/bin" "$root/etc/mervo-client" "$doc" \
    "$root/usr/share/applications" "$root/usr/share/man/man1" "$root/DEBIAN"
install -m 755 "$payload/program/MervoClient" "$payload/program/MervoUpgrade" "$lib/"
install -m 644 "$payload/program/signin_pl.so" "$payload/program/ledger_pl.so" "$lib/"
install -m 644 "$payload/program/config.ini" "$root/etc/mervo-client/config.ini"
ln -s /etc/mervo-client/config.ini "$lib/config.ini"
: >"$lib/updates-by-package-manager"
chmod 644 "$lib/updates-by-package-manager"
ln -s ../lib/mervo-client/MervoClient "$root/usr/bin/mervo-client"
sed -e 's/^Exec=.*/Exec=mervo-client/' -e 's/^TryExec=.*/TryExec=mervo-client/' \
    "$payload/share/applications/mervo-client.desktop" >"$root/usr/share/applications/mervo-client.desktop"
cp -r "$payload/share/icons" "$root/usr/share/"
gzip -9n <"$deb/mervo-client.1" >"$root/usr/share/man/man1/mervo-client.1.gz"
install -m 644 "$deb/copyright" "$doc/copyright"
maintainer="Mervo developers <dev@mervo.example>"
{
    echo "mervo-client ($version) stable; urgency=medium"
    echo
    echo "  * Release $version."
    echo
    echo " -- $maintainer  $(LC_ALL=C date -R -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}")"
} | gzip -9n >"$doc/changelog.gz"
find "$root" -type d -exec chmod 755 {} +
find "$root/usr/share" -type f -exec chmod 644 {} +

# What the binaries load, as Debian names it.
mkdir -p "$stage/src/debian"
printf 'Source: mervo-client\n\nPackage: mervo-client\nArchitecture: any\n' >"$stage/src/debian/control"
# Its warnings are shown: a library it cannot place would be missing from Depends.
depends=$(cd "$stage/src" && dpkg-shlibdeps -O -e"$lib/MervoClient" -e"$lib/MervoUpgrade" \
    -e"$lib/signin_pl.so" -e"$lib/ledger_pl.so" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "error: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

install -m 755 "$deb/postinst" "$deb/postrm" "$root/DEBIAN/"
echo /etc/mervo-client/config.ini >"$root/DEBIAN/conffiles"
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: mervo-client
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $size
Depends: $depends
Recommends: fonts-wqy-microhei | fonts-noto-cjk, qttranslations5-l10n, xdg-utils
Section: net
Priority: optional
Homepage: https://mervo.example/
Description: desktop client of the Mervo business service
 Shows the pages of the Mervo business service in a window of its own, with a
 tray icon, a remembered login for quick login, native downloads and the
 hand-off of chat links to desktop programs. Pages of other sites open in the
 user's web browser. Settings for every user live in /etc/mervo-client.
CONTROL
(cd "$root" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | sort -z | xargs -0 md5sum) \
    >"$root/DEBIAN/md5sums"

mkdir -p "$out"
rm -f "$out"/mervo-client_*.deb
package=$out/mervo-client_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
