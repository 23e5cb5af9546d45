#!/usr/bin/env bash
# The player runs wherever a recording is sent: it must not need Qt, FLTK, libjpeg or the
# C++ runtime installed. X client libraries and the C library are expected.
set -euo pipefail
libraries=$(ldd "$1")
echo "$libraries"
if grep -Eiq 'qt|fltk|jpeg|stdc\+\+' <<< "$libraries"; then
  echo "the player needs a shared library it should carry"
  exit 1
fi
if ! grep -q 'libX11' <<< "$libraries"; then
  echo "ldd did not list the X library the player draws with"
  exit 1
fi
