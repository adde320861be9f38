#!/usr/bin/env bash
# Installs, upgrades or removes Mervo for the current user, without root. The package
# runs it from the folder it unpacked to (program/, share/, setup/).
#   MervoSetup-<version>.run             says where it installs, asks, installs
#   MervoSetup-<version>.run /SILENT     asks nothing; after an upgrade in place starts the client
#   MervoSetup-<version>.run /UNINSTALL  removes the installation; the login record stays
# Started from a folder that holds MervoClient (the updater's case) it upgrades that
# folder, else it installs into ${XDG_DATA_HOME:-~/.local/share}/Mervo.
set -u
# Descriptors passed down from the programs that started the installer (the updater
# passes on the ended client's) would keep that client's helper processes alive for
# as long as the new client runs.
for fd in "/proc/$$/fd"/*; do
    fd=${fd##*/}
    [ "$fd" -gt 2 ] && [ "$fd" -lt 255 ] && eval "exec $fd>&-"
done
package=$(cd "$(dirname "$0")/.." && pwd)
ini=$package/setup/mervo-ini
manifest=.mervo-files

silent=0
uninstall=0
for arg in "$@"; do
    case "${arg^^}" in
    /SILENT) silent=1 ;;
    /UNINSTALL) uninstall=1 ;;
    *)
        echo "usage: MervoSetup.run [/SILENT] [/UNINSTALL]" >&2
        exit 2
        ;;
    esac
done

xdg_home() {
    case "$1" in
    /*) echo "$1" ;;
    *) echo "$HOME/$2" ;;
    esac
}
data_home=$(xdg_home "${XDG_DATA_HOME:-}" .local/share)
cache_home=$(xdg_home "${XDG_CACHE_HOME:-}" .cache)
config_home=$(xdg_home "${XDG_CONFIG_HOME:-}" .config)
apps=$data_home/applications
if [ -n "${USER_PWD:-}" ] && [ -f "$USER_PWD/MervoClient" ]; then
    target=$USER_PWD
    in_place=1
else
    target=$data_home/Mervo
    in_place=0
fi
parent=$(dirname "$target")
name=$(basename "$target")

confirm() {
    [ $silent = 1 ] && return 0
    local answer
    printf '%s [y/N] ' "$1"
    read -r answer || answer=
    case "$answer" in
    [yY] | [yY][eE][sS]) return 0 ;;
    esac
    echo "Nothing was changed."
    return 1
}

# The names a manifest lists, each a plain file name of the program folder.
listed() {
    local file
    [ -f "$1" ] || return 0
    while IFS= read -r file; do
        case "$file" in
        '' | . | .. | */*) ;;
        *) echo "$file" ;;
        esac
    done <"$1"
}

uninstall() {
    if [ ! -f "$(current)/$manifest" ]; then
        echo "No installation of Mervo in $target." >&2
        exit 1
    fi
    echo "Removes Mervo from $target with its menu and autostart entries, icons and web data."
    echo "The remembered login stays."
    [ $silent = 1 ] || check_clients
    confirm "Continue?" || exit 1
    lock
    check_clients
    recover
    local file dir
    while IFS= read -r file; do
        rm -f "$target/$file"
    done < <(listed "$target/$manifest")
    rm -f "$target/config.ini" "$target/config.ini.lock" "$target/$manifest"
    rmdir "$target" 2>/dev/null || echo "Kept $target: it holds files the installer did not put there."
    rm -f "$apps/mervo-client.desktop" "$config_home/autostart/mervo-client.desktop"
    for dir in "$data_home"/icons/hicolor/*/apps; do
        [ -f "$dir/mervo-client.png" ] || continue
        rm -f "$dir/mervo-client.png"
        rmdir "$dir" "$(dirname "$dir")" 2>/dev/null
    done
    # The client's web profile and cache; login.secret beside them stays.
    if [ -d "$data_home/MervoClient" ]; then
        find "$data_home/MervoClient" -mindepth 1 -maxdepth 1 ! -name login.secret -exec rm -rf {} +
    fi
    rm -rf "$cache_home/MervoClient"
    echo "Mervo was removed."
    exit 0
}

# Debian's Qt WebEngine runtime and the other libraries the binaries load.
check_runtime() {
    local missing=() pkg libs
    if command -v dpkg-query >/dev/null; then
        while IFS= read -r pkg; do
            [ -n "$pkg" ] || continue
            dpkg-query -W -f='${db:Status-Abbrev}\n' "$pkg" 2>/dev/null | grep -q '^ii' ||
                missing+=("$pkg")
        done <"$package/setup/runtime-packages"
        if [ ${#missing[@]} -gt 0 ]; then
            echo "Mervo needs these Debian packages, which are not installed: ${missing[*]}" >&2
            echo "Install them with: sudo apt install ${missing[*]}" >&2
            return 1
        fi
    fi
    libs=$(LC_ALL=C ldd "$package"/program/MervoClient "$package"/program/MervoUpgrade \
        "$package"/program/*.so "$ini" 2>&1 | awk '/not found/ { print $1 }' | sort -u)
    if [ -n "$libs" ]; then
        echo "Mervo needs these libraries, which are not installed:" $libs >&2
        return 1
    fi
}

# Exec= of a desktop entry: the path as one quoted argument, then escaped as a string.
exec_value() {
    local v=$1
    v=${v//\\/\\\\}
    v=${v//\"/\\\"}
    v=${v//\`/\\\`}
    v=${v//\$/\\\$}
    v="\"$v\""
    v=${v//\\/\\\\}
    printf '%s' "${v//%/%%}"
}

# Whether a process of this user runs the installation's client.
client_running() {
    local exe
    [ -e "$target/MervoClient" ] || return 1
    for exe in /proc/[0-9]*/exe; do
        [ -O "${exe%/exe}" ] && [ "$exe" -ef "$target/MervoClient" ] && return 0
    done
    return 1
}

# A running client writes config.ini: a folder swapped under it would lose that.
check_clients() {
    client_running || return 0
    if [ $silent = 1 ]; then
        # The updater has ended the clients; one may still be on its way out.
        for _ in {1..50}; do
            sleep 0.2
            client_running || return 0
        done
    fi
    echo "Mervo is running from $target: quit it (tray menu \"退出客户端\") and start the" \
        "installer again. Nothing was changed." >&2
    exit 1
}

# One installer at a time: the lock is on the folder that holds the installation (so no
# lock file stays behind), from the recovery of a cut-short swap to the menu entry.
lock() {
    mkdir -p "$parent" || fail "cannot create $parent"
    exec 9<"$parent" || fail "cannot open $parent"
    flock -n 9 && return
    echo "Waiting for another installer of Mervo to finish..."
    flock -w 300 9 || fail "another installer of Mervo still runs"
}

start_client() {
    exec 9<&- # the client must not hold the lock
    [ $silent = 1 ] && [ $in_place = 1 ] && [ -x "$target/MervoClient" ] || return 0
    client_running ||
        (cd "$target" && exec setsid -f "$target/MervoClient" </dev/null >/dev/null 2>&1)
}

stage=
hold=
# Before the swap nothing has changed: drop the staged copy, put a moved-aside
# installation back, and start the client the updater ended.
fail() {
    trap - INT TERM HUP
    echo "Installation failed: $*. Nothing was changed." >&2
    [ -z "$stage" ] || rm -rf "$stage"
    if [ -n "$hold" ] && [ -d "$hold/$name" ] && [ ! -e "$target" ]; then
        mv -T "$hold/$name" "$target"
    fi
    [ -z "$hold" ] || rm -rf "$hold"
    start_client
    exit 1
}

desktop_entry() {
    local line dir icon size
    mkdir -p "$apps" || return 1
    while IFS= read -r line; do
        case "$line" in
        Exec=*) line="Exec=$(exec_value "$target/MervoClient")" ;;
        TryExec=*) line="TryExec=${target//\\/\\\\}/MervoClient" ;;
        esac
        printf '%s\n' "$line"
    done <"$package/share/applications/mervo-client.desktop" >"$apps/.mervo-client.desktop.new" &&
        mv -f "$apps/.mervo-client.desktop.new" "$apps/mervo-client.desktop" ||
        { rm -f "$apps/.mervo-client.desktop.new" && return 1; }
    for icon in "$package"/share/icons/hicolor/*/apps/mervo-client.png; do
        size=$(basename "$(dirname "$(dirname "$icon")")")
        dir=$data_home/icons/hicolor/$size/apps
        mkdir -p "$dir" && cp "$icon" "$dir/" || return 1
    done
}

# A swap cut short (a crash, a power cut) leaves the old installation aside. current
# names where the installation is; recover (under the lock) puts it back in place and
# drops what other installers left half done.
current() {
    local aside
    for aside in "$parent/.$name.old."*/"$name"; do
        [ ! -e "$target" ] && [ -d "$aside" ] && echo "$aside" && return
    done
    echo "$target"
}
recover() {
    local aside
    aside=$(current)
    [ "$aside" = "$target" ] || mv -T "$aside" "$target" || fail "cannot put $aside back"
    rm -rf "$parent/.$name.new."* "$parent/.$name.old."*
}

# Files root wrote into a user's home would lock that user out of them.
if [ "$(id -u)" = 0 ] && [ -n "${SUDO_USER:-}" ]; then
    echo "Run the installer as the user who uses Mervo, without sudo." >&2
    exit 1
fi
[ $uninstall = 0 ] || uninstall

check_runtime || fail "the runtime is incomplete"
[ ! -e "$target" ] || [ -d "$target" ] || fail "$target is no folder"
version=$("$ini" get "$package/program/config.ini" Version)
if [ -f "$(current)/MervoClient" ]; then
    old=$("$ini" get "$(current)/config.ini" Version)
    echo "Upgrades Mervo ${old:-(no version)} in $target to $version."
else
    echo "Installs Mervo $version into $target."
fi
echo "Menu entry: $apps/mervo-client.desktop"
[ $silent = 1 ] || check_clients
confirm "Continue?" || exit 1

lock
check_clients
recover
trap 'fail "interrupted"' INT TERM HUP
stage=$(mktemp -d "$parent/.$name.new.XXXXXX") || fail "cannot write into $parent"
chmod "$(printf '%o' $((0777 & ~0$(umask))))" "$stage" || fail "cannot set up $stage"
# What the old installation did not install itself (settings, the user's files) carries over.
if [ -d "$target" ]; then
    cp -a "$target/." "$stage/" || fail "cannot copy $target"
    while IFS= read -r file; do
        rm -rf "${stage:?}/$file"
    done < <(listed "$stage/$manifest")
fi
installed=()
for file in "$package"/program/*; do
    file=$(basename "$file")
    [ "$file" = config.ini ] && continue
    rm -rf "${stage:?}/$file"
    cp "$package/program/$file" "$stage/$file" || fail "cannot write $file"
    installed+=("$file")
done
if [ -f "$stage/config.ini" ]; then
    "$ini" merge "$package/program/config.ini" "$stage/config.ini" || fail "cannot update config.ini"
else
    cp "$package/program/config.ini" "$stage/config.ini" || fail "cannot write config.ini"
fi
printf '%s\n' "${installed[@]}" >"$stage/$manifest" || fail "cannot write $manifest"

if [ -e "$target" ]; then
    hold=$(mktemp -d "$parent/.$name.old.XXXXXX") || fail "cannot write into $parent"
    mv -T "$target" "$hold/$name" || fail "cannot move $target aside"
fi
mv -T "$stage" "$target" || fail "cannot put the new version in place"
stage=
trap '' INT TERM HUP
[ -z "$hold" ] || rm -rf "$hold"

result=0
if ! desktop_entry; then
    echo "Mervo $version is installed in $target, but its menu entry could not be written." >&2
    result=1
else
    echo "Mervo $version is installed in $target."
fi
start_client
exit $result
