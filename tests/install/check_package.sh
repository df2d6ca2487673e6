#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as a user's
# apt and Debian's lintian would: its name, control fields, file list, that
# apt can resolve what it depends on, and no lintian errors.
# Usage: check_package.sh BUILD_DIR VERSION
set -uo pipefail

build=${1:?usage: check_package.sh BUILD_DIR VERSION}
version=${2:?usage: check_package.sh BUILD_DIR VERSION}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >/dev/null || { echo "FAIL: cpack"; exit 1; }
deb=$out/orv-client_${version}_amd64.deb
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb") in: $(ls "$out")"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = orv-client ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is $(field Architecture)"
for dependency in libqt6widgets6 libqt6sql6-sqlite qt6-qpa-plugins libhunspell libgumbo1 libc6; do
  field Depends | grep -q "$dependency" || fail "Depends lacks $dependency: $(field Depends)"
done
field Recommends | grep -q hunspell-ru || fail "Recommends lacks hunspell-ru"

files=$(dpkg-deb -c "$deb")
for file in ./usr/bin/orv ./usr/bin/orv-cli ./usr/share/applications/orv.desktop \
  ./usr/share/icons/hicolor/scalable/apps/orv-client.svg \
  ./usr/share/icons/hicolor/48x48/apps/orv-client.png \
  ./usr/share/metainfo/orv-client.metainfo.xml \
  ./usr/share/doc/orv-client/copyright ./usr/share/doc/orv-client/changelog.gz; do
  grep -q " $file\$" <<<"$files" || fail "the package lacks $file"
done
grep -v ' \./usr/' <<<"$files" | grep -qv ' \./$' && fail "files outside /usr: $(grep -v ' \./usr/' <<<"$files")"
awk '{print $2}' <<<"$files" | grep -qv '^root/root$' && fail "files not owned by root"

apt-get install --simulate --no-install-recommends "$deb" >/dev/null 2>&1 \
  || fail "apt cannot resolve the package's dependencies"
if command -v lintian >/dev/null; then
  errors=$(lintian "$deb" 2>/dev/null | grep '^E:')
  [ -z "$errors" ] || fail "lintian: $errors"
else
  fail "lintian is missing (scripts/setup installs it)"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "$(basename "$deb") built and checked"
