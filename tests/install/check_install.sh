#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop needs from it:
# the programs and their tree icons, a valid menu entry, the icon it names, and
# valid AppStream data that launches that entry.
# Usage: check_install.sh BUILD_DIR
set -uo pipefail

build=${1:?usage: check_install.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup installs it)"; exit 1; }
done

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

desktop=$prefix/share/applications/orv.desktop
metainfo=$prefix/share/metainfo/orv-client.metainfo.xml
svg=$prefix/share/icons/hicolor/scalable/apps/orv-client.svg
png=$prefix/share/icons/hicolor/48x48/apps/orv-client.png

for f in "$prefix/bin/orv" "$prefix/bin/orv-cli"; do
  [ -x "$f" ] || fail "$f is not an installed program"
done
for f in "$desktop" "$metainfo" "$svg" "$png"; do
  [ -s "$f" ] || fail "$f is missing"
done

# The entry and the AppStream data must pass the validators the desktops use.
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"

# The entry starts an installed program with an installed icon.
entry() { sed -n "s/^$1=//p" "$desktop"; }
exec_name=$(entry Exec | cut -d' ' -f1)
[ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not in bin/"
icon_name=$(entry Icon)
[ -s "$prefix/share/icons/hicolor/scalable/apps/$icon_name.svg" ] || fail "Icon=$icon_name has no scalable icon"
[ -s "$prefix/share/icons/hicolor/48x48/apps/$icon_name.png" ] || fail "Icon=$icon_name has no 48x48 icon"
# The window's class (the application name) is what the desktop matches the entry by.
[ "$(entry StartupWMClass)" = "ORV Client" ] || fail "StartupWMClass is not the program's window class"
grep -q '<launchable type="desktop-id">orv.desktop</launchable>' "$metainfo" \
  || fail "the AppStream data does not launch orv.desktop"

# The 48x48 icon is a PNG of that size: signature, then width and height in IHDR.
[ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$png is not a PNG"
[ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = "0000003000000030" ] || fail "$png is not 48x48"
grep -q '<svg' "$svg" || fail "$svg is not an SVG"

# The installed programs run from the prefix.
folder=$prefix/working
mkdir "$folder"
"$prefix/bin/orv-cli" --folder "$folder" tree >/dev/null || fail "installed orv-cli does not run"
[ -f "$folder/database.mdb" ] || fail "installed orv-cli made no store"
# Without --folder an installed program keeps its files in the user's data
# folder, never beside the program.
XDG_DATA_HOME=$prefix/data "$prefix/bin/orv-cli" tree >/dev/null || fail "orv-cli without --folder"
[ -f "$prefix/data/orv-client/database.mdb" ] || fail "no store in \$XDG_DATA_HOME/orv-client"
[ "$(stat -c %a "$prefix/data/orv-client")" = 700 ] || fail "the data folder is not private"
[ ! -e "$prefix/bin/database.mdb" ] || fail "a store was made beside the program"
QT_QPA_PLATFORM=offscreen "$prefix/bin/orv" --help >/dev/null || fail "installed orv does not start"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "installed and validated under a temporary prefix"
