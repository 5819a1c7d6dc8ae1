#!/usr/bin/env bash
# The Debian package as a clinic gets it: packed from the program already built (no second
# build), its control fields and file list, lintian, the desktop entry and AppStream checks,
# then unpacked into a temporary root and started through its launcher under a private X
# display with a temporary HOME, in English and in German.
#   test-package.sh BUILD_DIR SOURCE_DIR VERSION
set -uo pipefail
build=$1 source=$2 version=$3

# A display of our own: the other window tests must not cover the window we click.
if [ -z "${KARVEX_PACKAGE_DISPLAY:-}" ]; then
    exec env KARVEX_PACKAGE_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb

tmp=$(mktemp -d)
shots=$build/package-test # screenshots kept for a person to look at
mkdir -p "$shots"
started=()
cleanup() {
    for p in "${started[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
mode() { stat -c %a "$1" 2>/dev/null; }
stored_language() { sed -n '/^\[Language\]/,/^\[/ s/^path=//p' "$1/settings.ini" 2>/dev/null; }
has_line() { grep -qxF -- "$1" "$2"; }

echo "== pack"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log"
    exit 1
fi
deb=$tmp/out/karvex_${version}_amd64.deb
check "package named karvex_${version}_amd64.deb" test -f "$deb"
[ -f "$deb" ] || exit 1

echo "== control fields"
field() { dpkg-deb -f "$deb" "$1"; }
check "Package is karvex" test "$(field Package)" = karvex
check "Version is the project version" test "$(field Version)" = "$version"
check "Architecture is amd64" test "$(field Architecture)" = amd64
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//; s/|.*//')
for dep in libqt5sql5-sqlite libqt5multimedia5-plugins fonts-liberation xdg-utils qttranslations5-l10n \
    libqt5widgets5 libavformat59 libsdl2-2.0-0 libhidapi-hidraw0; do
    check "depends on $dep" grep -qxF "$dep" <<<"$depends"
done

echo "== file list"
dpkg-deb -c "$deb" >"$tmp/contents"
awk '{ print $6 }' "$tmp/contents" | sed 's|^\./|/|; s|/$||' >"$tmp/files"
for f in /usr/bin/karvex /usr/lib/karvex/karvex /usr/share/karvex/language/en-US.ini \
    /usr/share/karvex/language/lang_en-US.ini /usr/share/karvex/language/lang_de-DE.ini \
    /usr/lib/udev/rules.d/70-karvex-camera.rules /usr/share/applications/karvex.desktop \
    /usr/share/icons/hicolor/256x256/apps/karvex.png /usr/share/icons/hicolor/128x128/apps/karvex.png \
    /usr/share/icons/hicolor/64x64/apps/karvex.png /usr/share/icons/hicolor/48x48/apps/karvex.png \
    /usr/share/icons/hicolor/scalable/apps/karvex.svg /usr/share/metainfo/karvex.metainfo.xml \
    /usr/share/doc/karvex/copyright; do
    check "ships $f" has_line "$f" "$tmp/files"
done
check "ships nothing outside /usr" test -z "$(grep -v '^/usr' "$tmp/files" | grep -vx '/\?')"
check "ships no test or benchmark programs" test -z "$(grep -E '/(test_|e2e_|bench)' "$tmp/files")"
check "every file belongs to root" test -z "$(awk '$2 != "root/root"' "$tmp/contents")"

echo "== lintian"
lintian --tag-display-limit 0 "$deb" >"$tmp/lintian" 2>&1
cat "$tmp/lintian"
check "lintian reports no errors" test -z "$(grep '^E:' "$tmp/lintian")"

echo "== unpacked"
root=$tmp/root
dpkg-deb -x "$deb" "$root"
check "desktop entry is valid" desktop-file-validate "$root/usr/share/applications/karvex.desktop"
# The ID is the desktop entry's name, not a reverse domain name: explained in the README.
check "AppStream metadata is valid" appstreamcli validate --no-net --explain \
    --override=cid-desktopapp-is-not-rdns=info "$root/usr/share/metainfo/karvex.metainfo.xml"
check "launcher is executable" test -x "$root/usr/bin/karvex"
check "karvex --version prints the version" test "$("$root/usr/bin/karvex" --version)" = "Karvex $version"

# colour NAME X Y: "r g b" of a screenshot pixel.
colour() {
    convert "$shots/$1.png" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}
blue_dominant() { set -- $(colour "$@"); [ "$3" -gt $(($1 + 60)) ]; }
green_dominant() { set -- $(colour "$@"); [ "$2" -gt $(($1 + 60)) ]; }

# start NAME: runs the unpacked launcher in the current environment and waits for the mode
# choice; sets $pid and $window.
start() {
    "$root/usr/bin/karvex" >"$tmp/$1.log" 2>&1 &
    pid=$!
    started+=("$pid")
    window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Karvex$' | head -n1)
    # Shot again until the window has painted its pictures (a few seconds at most).
    for _ in $(seq 20); do
        import -window "$window" "$shots/$1.png" 2>/dev/null && blue_dominant "$1" 42 70 && break
        sleep 0.3
    done
}
stop() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }

echo "== first start, English"
export HOME=$tmp/home LANG=en_US.UTF-8
unset XDG_DATA_HOME LANGUAGE LC_ALL LC_MESSAGES
mkdir -p "$HOME"
data=$HOME/.local/share/karvex
start english
check "mode choice window shows" test -n "$window"
check "data folder is created with mode 0700" test "$(mode "$data")" = 700
check "shipped language files are in the data folder" \
    cmp -s "$root/usr/share/karvex/language/lang_en-US.ini" "$data/language/lang_en-US.ini"
check "fallback language file stays a link to the English one" test -L "$data/language/en-US.ini"
check "English is chosen and stored" test "$(stored_language "$data")" = "$data/language/lang_en-US.ini"
# The icon property starts with the width of its largest picture: the 256-pixel program icon.
check "mode choice window carries the program icon" \
    test "$(xprop -notype -len 4 -id "$window" 32c _NET_WM_ICON 2>/dev/null)" = "_NET_WM_ICON = 256"
check "camera picture shows on the Camera button" blue_dominant english 42 70
check "patient picture shows on the Manager button" green_dominant english 217 70
check "settings.ini is readable by its owner only" test "$(mode "$data/settings.ini")" = 600

xdotool mousemove --window "$window" 262 90 click 1
for _ in $(seq 100); do [ -f "$data/system.db" ] && break; sleep 0.2; done
check "the manager creates system.db in the data folder" test -f "$data/system.db"
check "system.db is readable by its owner only" test "$(mode "$data/system.db")" = 600

SECONDS=0
timeout 20 "$root/usr/bin/karvex" >/dev/null 2>&1
second=$?
check "a second start exits with code 0" test "$second" = 0
check "a second start exits at once" test "$SECONDS" -lt 10
check "the first copy keeps running" kill -0 "$pid"
stop

echo "== first start, German, XDG_DATA_HOME, existing folder"
export HOME=$tmp/home-de XDG_DATA_HOME=$tmp/xdg LANG=de_DE.UTF-8
data=$XDG_DATA_HOME/karvex
mkdir -p -m 0755 "$data/language"
chmod 0755 "$data"
printf '[System]\nname=Français\n' >"$data/language/lang_fr-FR.ini"
printf '[System]\nname=outdated\n' >"$data/language/lang_de-DE.ini"
start german
check "existing data folder is made private" test "$(mode "$data")" = 700
check "language file added by the user is kept" test -f "$data/language/lang_fr-FR.ini"
check "shipped language file is refreshed" \
    cmp -s "$root/usr/share/karvex/language/lang_de-DE.ini" "$data/language/lang_de-DE.ini"
check "German is chosen and stored" test "$(stored_language "$data")" = "$data/language/lang_de-DE.ini"
stop

echo "== stored choice wins over the locale"
printf '[Language]\npath=%s\n' "$data/language/lang_en-US.ini" >"$data/settings.ini"
start stored
check "stored English stays under a German locale" \
    test "$(stored_language "$data")" = "$data/language/lang_en-US.ini"
stop

echo "screenshots: $shots"
echo "$failures failed"
[ "$failures" -eq 0 ]
