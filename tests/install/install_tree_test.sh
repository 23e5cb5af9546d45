#!/usr/bin/env bash
# Usage: install_tree_test.sh CMAKE BUILD_DIR APP_ID
# Runs `cmake --install` of BUILD_DIR into a fresh temporary prefix (whose name holds a space,
# as a home folder may) and checks the installed tree: both programs, the desktop entry
# (valid for desktop-file-validate, starting the installed program, naming an installed
# icon) and the icon in every size, each PNG of the size its folder says.
set -euo pipefail
cmake_command=$1
build_dir=$2
app_id=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/install prefix"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

unset DESTDIR
"$cmake_command" --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 || {
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install failed" >&2
  exit 1
}

for program in mugwarp mugwarp-batch; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is missing or not executable"
done
[ -f "$prefix/share/doc/mugwarp/README.md" ] || fail "share/doc/mugwarp/README.md is missing"

# The installed batch program runs on its own, away from the build folder.
if [ -x "$prefix/bin/mugwarp-batch" ]; then
  (cd "$work" && "$prefix/bin/mugwarp-batch" --help >"$work/help.txt" 2>&1) ||
    fail "installed mugwarp-batch --help exited with status $?"
  grep -q mugwarp-batch "$work/help.txt" || fail "installed mugwarp-batch printed no usage"
fi

entry="$prefix/share/applications/$app_id.desktop"
if [ ! -f "$entry" ]; then
  fail "share/applications/$app_id.desktop is missing"
else
  # Errors make desktop-file-validate exit non-zero; its warnings are shown all the same.
  if ! desktop-file-validate "$entry" >"$work/validate.txt" 2>&1; then
    fail "desktop-file-validate rejects the desktop entry"
  fi
  cat "$work/validate.txt"
  grep -q "error:" "$work/validate.txt" && fail "desktop-file-validate reports errors"

  value() { sed -n "s/^$1=//p" "$entry"; }
  [ "$(value Type)" = Application ] || fail "Type is not Application"
  [ "$(value Name)" = Mugwarp ] || fail "Name is not Mugwarp"
  [ "$(value Terminal)" = false ] || fail "Terminal is not false"
  [ "$(value Icon)" = "$app_id" ] || fail "Icon is '$(value Icon)', not $app_id"

  # Exec: the installed program, quoted because the prefix holds a space, then the file.
  expected_exec="\"$prefix/bin/mugwarp\" %f"
  [ "$(value Exec)" = "$expected_exec" ] ||
    fail "Exec is '$(value Exec)', expected '$expected_exec'"

  mime_types=";$(value MimeType)"
  for type in image/bmp image/jpeg image/gif image/png image/tiff image/vnd.microsoft.icon \
              image/wmf image/emf image/x-eps image/x-tga image/x-pcx image/x-sgi \
              image/vnd.adobe.photoshop image/x-portable-pixmap; do
    case "$mime_types" in
      *";$type;"*) ;;
      *) fail "MimeType does not list $type" ;;
    esac
  done
fi

# The width and height stored in a PNG file's header, as "WxH".
png_size() {
  local bytes
  bytes=$(od -An -tx1 -j12 -N12 "$1" | tr -d ' \n')
  [ "${bytes:0:8}" = 49484452 ] || { echo "not-a-png"; return; }
  echo "$((16#${bytes:8:8}))x$((16#${bytes:16:8}))"
}
for size in 16 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  if [ ! -f "$icon" ]; then
    fail "the ${size}x${size} icon is missing"
  elif [ "$(png_size "$icon")" != "${size}x${size}" ]; then
    fail "the ${size}x${size} icon is $(png_size "$icon")"
  fi
done
scalable="$prefix/share/icons/hicolor/scalable/apps/$app_id.svg"
if [ ! -f "$scalable" ]; then
  fail "the scalable icon is missing"
elif ! grep -q "<svg" "$scalable"; then
  fail "the scalable icon is not an SVG drawing"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; installed files:" >&2
  (cd "$prefix" && find . -type f | sort) >&2
  exit 1
fi
echo "The install tree under a temporary prefix is complete."
