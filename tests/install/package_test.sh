#!/usr/bin/env bash
# Usage: package_test.sh CPACK BUILD_DIR APP_ID VERSION
# Builds the Debian package of BUILD_DIR into a temporary folder and checks it: its name, the
# files it holds, its dependencies, and the desktop entry and metainfo it installs
# (desktop-file-validate, appstreamcli validate). Exits 77 (skipped) without dpkg-deb.
set -euo pipefail
cpack_command=$1
build_dir=$2
app_id=$3
version=$4

for tool in dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (Debian's dpkg-dev provides it)"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

(cd "$build_dir" && "$cpack_command" -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G DEB failed" >&2
  exit 1
}
deb="$work/out/mugwarp_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; echo "FAIL: $deb was not written" >&2; exit 1; }

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files.txt"
for path in /usr/bin/mugwarp /usr/bin/mugwarp-batch \
    "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml" \
    /usr/share/man/man1/mugwarp.1.gz /usr/share/man/man1/mugwarp-batch.1.gz \
    /usr/share/doc/mugwarp/copyright /usr/share/doc/mugwarp/changelog.gz \
    "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
    "/usr/share/icons/hicolor/48x48/apps/$app_id.png"; do
  grep -qx "$path" "$work/files.txt" || fail "the package lacks $path"
done
# Nothing outside /usr: removing the package leaves the system as it was.
grep -v '^/usr' "$work/files.txt" | grep -v '^/$' && fail "files outside /usr"

control() { dpkg-deb -f "$deb" "$1"; }
[ "$(control Package)" = mugwarp ] || fail "Package is '$(control Package)'"
[ "$(control Version)" = "$version" ] || fail "Version is '$(control Version)'"
depends=$(control Depends)
for needed in libdlib-data xdg-utils libqt6widgets6 libjpeg62-turbo; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
[[ "$(control Recommends)" == *ghostscript* ]] || fail "Recommends lacks ghostscript"

dpkg-deb -x "$deb" "$work/root"
entry="$work/root/usr/share/applications/$app_id.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
grep -qx 'Exec=/usr/bin/mugwarp %f' "$entry" || fail "Exec is $(grep ^Exec= "$entry")"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$work/root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli rejects the metainfo"
else
  echo "note: appstreamcli is missing (Debian's appstream); the metainfo is not validated"
fi
# The manual pages format without warnings and name every operation of mugwarp-batch.
for page in mugwarp mugwarp-batch; do
  zcat "$work/root/usr/share/man/man1/$page.1.gz" >"$work/$page.1"
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$work/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
  fi
done
"$work/root/usr/bin/mugwarp-batch" --help 2>&1 | sed -n 's/^  \([a-z-]*\) .*/\1/p' >"$work/operations.txt"
[ -s "$work/operations.txt" ] || fail "mugwarp-batch --help lists no operations"
while read -r operation; do
  grep -q "^\.B $operation\b" "$work/mugwarp-batch.1" ||
    fail "mugwarp-batch.1 does not describe $operation"
done <"$work/operations.txt"
"$work/root/usr/bin/mugwarp" --version | grep -q "$version" || fail "mugwarp --version"

if [ "$failures" -gt 0 ]; then
  exit 1
fi
echo "package $deb: $(wc -l <"$work/files.txt") paths, checks passed"
