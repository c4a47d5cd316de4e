#!/usr/bin/env bash
# The Debian package as a user gets it: cpack makes it from the build folder; it must hold
# exactly the two programs, the saver folder's link to the viewer, and their desktop and
# screen-saver files, the D-Bus interface's description, the user unit, the GNOME Shell
# extension and the Plasma wallpaper (its package and its QML module), with the right owners and modes, carry its library dependencies, run from
# where it is unpacked, and pass man, the desktop, AppStream and XML validators and
# lintian (no errors).
# Usage: package_test.sh CPACK BUILD_DIR VERSION. Exit 77 (skip) only when a tool is missing
# (help2man too: without it the build folder has no man pages, and cpack refuses).
set -euo pipefail
cpack=$1 build=$2 version=$3
source "$(dirname "$0")/../lib.sh"
needs_tools "$cpack" dpkg-architecture dpkg-deb dpkg-shlibdeps dpkg lintian man desktop-file-validate \
            appstreamcli xmllint file gzip help2man node

echo "== cpack -G DEB"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log" >&2; fail "cpack could not make the package"; }
deb=$WORK/out/aerolume_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") (made: $(cd "$WORK/out" && ls -- *.deb 2>/dev/null))"

echo "== control fields"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = aerolume ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Section)" = graphics ] || fail "Section is '$(field Section)'"
[ "$(field Priority)" = optional ] || fail "Priority is '$(field Priority)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
# Found by dpkg-shlibdeps from the programs themselves: the C library, GLUT, PNG, WebP,
# the Wayland client library.
for library in libc6 libglut libpng16 libwebp libwayland-client0; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: '$depends'"
done

echo "== unpack"
dpkg-deb -x "$deb" "$WORK/root"
root=$WORK/root

echo "== contents"
expected=$(printf '%s\n' ./usr/bin/aerolume ./usr/bin/aerolume-render \
  ./usr/libexec/xscreensaver/aerolume \
  ./usr/share/applications/aerolume.desktop \
  ./usr/share/applications/screensavers/aerolume.desktop \
  ./usr/share/xscreensaver/config/aerolume.xml \
  ./usr/share/metainfo/io.github.aerolume.Aerolume.metainfo.xml \
  ./usr/share/dbus-1/interfaces/io.github.aerolume.Aerolume.Control.xml \
  ./usr/lib/systemd/user/aerolume-background.service \
  ./usr/share/gnome-shell/extensions/aerolume@aerolume.github.io/{extension.js,metadata.json} \
  ./usr/share/plasma/wallpapers/io.github.aerolume.wallpaper/{metadata.json,contents/config/main.xml} \
  ./usr/share/plasma/wallpapers/io.github.aerolume.wallpaper/contents/ui/{main.qml,config.qml,CoverWatch.qml} \
  "./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/qt5/qml/io/github/aerolume/wallpaper/"{libaerolumewallpaperplugin.so,qmldir} \
  ./usr/share/doc/aerolume/copyright ./usr/share/doc/aerolume/changelog.gz \
  ./usr/share/man/man1/aerolume-render.1.gz ./usr/share/man/man1/aerolume.1.gz \
  ./usr/share/icons/hicolor/scalable/apps/aerolume.svg \
  ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/aerolume.png |
  sort)
dpkg-deb --contents "$deb" >"$WORK/contents"
# Exactly these files, nothing more (no tests, benchmarks or helpers).
actual=$(awk '$1 !~ /^d/ { print $6 }' "$WORK/contents" | sort)
if [ "$actual" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  fail "the package's files differ from the expected ones (< expected, > in the package)"
fi
# Owned by root; directories and programs 0755, everything else 0644; the one link, in the
# hack folder screen-saver hosts search, points relatively at the viewer.
saver_link=./usr/libexec/xscreensaver/aerolume
awk -v link="$saver_link" '$2 != "root/root" { print "owner " $2 ": " $6 }
     $6 == link { if ($1 != "lrwxrwxrwx" || $7 != "->" || $8 != "../../bin/aerolume")
                    print "not a relative link to ../../bin/aerolume: " $0
                  next }
     $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "mode " $1 ": " $6 }
     $1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print "mode " $1 ": " $6 }
     $1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print "mode " $1 ": " $6 }
     $1 !~ /^[-d]/ { print "not a plain file or folder: " $6 }' "$WORK/contents" >"$WORK/bad"
[ ! -s "$WORK/bad" ] || { cat "$WORK/bad" >&2; fail "wrong owners or modes in the package"; }

echo "== the unpacked renderer"
out=$("$root/usr/bin/aerolume-render" --version)
[ "$out" = "aerolume-render $version" ] || fail "--version printed '$out'"
"$root/usr/bin/aerolume-render" --frames 1 --size 64x48 --seed 5 --output "$WORK/frame.png" ||
  fail "the unpacked aerolume-render could not render a frame"
[[ $(file -b "$WORK/frame.png") == "PNG image data, 64 x 48,"* ]] ||
  fail "the frame is not a 64x48 PNG: $(file -b "$WORK/frame.png")"

echo "== man pages"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  name=$(basename "$page" .1.gz)
  MANWIDTH=80 man --warnings -l "$page" >"$WORK/page.txt" 2>"$WORK/man.err" ||
    fail "man could not show $name(1)"
  [ ! -s "$WORK/man.err" ] || { cat "$WORK/man.err" >&2; fail "man warns about $name(1)"; }
  grep -q "^NAME" "$WORK/page.txt" && grep -q "$name" "$WORK/page.txt" ||
    fail "$name(1) has no NAME section naming it"
done

echo "== desktop entry and metainfo"
desktop=$root/usr/share/applications/aerolume.desktop
metainfo=$root/usr/share/metainfo/io.github.aerolume.Aerolume.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects aerolume.desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
# What they name is in the package: the program, the icon, the desktop entry.
# (Every Exec line: the entry's own and its actions'.)
for exec_name in $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop"); do
  [ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not a program of the package"
done
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
  fail "Icon=$icon has no icon in the package"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$root/usr/share/applications/$launchable" ] ||
  fail "the metainfo launches '$launchable', which the package does not hold"

echo "== GNOME Shell extension"
# Its folder is its uuid; it runs the package's program; both variants parse as the
# shell's JavaScript would (a script for 43 and 44, an ES module from 45 on), with the
# shell versions each is for.
extension=$root/usr/share/gnome-shell/extensions/aerolume@aerolume.github.io
node -e 'const m = JSON.parse(require("fs").readFileSync(process.argv[1]));
  if (m.uuid !== "aerolume@aerolume.github.io" || m["shell-version"].join() !== "43,44") process.exit(1)' \
  "$extension/metadata.json" || fail "the extension's metadata.json: $(cat "$extension/metadata.json")"
grep -q "^const PROGRAM = '/usr/bin/aerolume';" "$extension/extension.js" ||
  fail "the extension does not run /usr/bin/aerolume"
node --check "$extension/extension.js" || fail "the extension for GNOME Shell 43 and 44 does not parse"
cp "$build/gnome-shell/45/aerolume@aerolume.github.io/extension.js" "$WORK/extension.mjs"
node --check "$WORK/extension.mjs" || fail "the extension for GNOME Shell 45 and later does not parse"
grep -q '"shell-version": \["45",' "$build/gnome-shell/45/aerolume@aerolume.github.io/metadata.json" ||
  fail "the extension for GNOME Shell 45 and later does not say so in its metadata"

echo "== screen-saver entry and xscreensaver settings"
saver=$root/usr/share/applications/screensavers/aerolume.desktop
# Not a word from the validator: no error, no warning, no hint.
report=$(desktop-file-validate "$saver" 2>&1) && [ -z "$report" ] ||
  fail "desktop-file-validate on the screen-saver entry: ${report:-failed}"
# Both name the program's link in the hack folder (hosts such as MATE's refuse others),
# and it leads to the package's viewer.
saver_commands=$(sed -n 's/^\(Try\)\{0,1\}Exec=\([^ ]*\).*/\2/p' "$saver" | sort -u)
[ "$saver_commands" = /usr/libexec/xscreensaver/aerolume ] ||
  fail "the saver's Exec and TryExec run '$saver_commands', not /usr/libexec/xscreensaver/aerolume"
[ "$(readlink -f "$root$saver_commands")" = "$(readlink -f "$root/usr/bin/aerolume")" ] ||
  fail "$saver_commands does not lead to the package's aerolume"
xmllint --noout "$root/usr/share/xscreensaver/config/aerolume.xml" ||
  fail "aerolume.xml is not well-formed XML"
xmllint --noout "$root/usr/share/dbus-1/interfaces/io.github.aerolume.Aerolume.Control.xml" ||
  fail "the D-Bus interface's description is not well-formed XML"

echo "== lintian"
start=$SECONDS
lintian --fail-on error "$deb" || fail "lintian reports errors"
echo "lintian took $((SECONDS - start)) s"
echo "PASS"
