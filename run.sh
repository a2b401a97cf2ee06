#!/usr/bin/env bash
# Installs what is missing, builds, and starts Korvalo Cor.
#   ./run.sh [--device NAME] [FILE.wav]
# Without a file the bundled demo plays.
set -euo pipefail
KC_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KC_ROOT/scripts/setup.sh"
kc_install_packages
kc_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The program runs from build/, so a FILE given relative to here is made
# absolute first; without a FILE, --demo plays the bundled demo.
args=()
has_file=0
while [ $# -gt 0 ]; do
  case "$1" in
    --device) args+=("$1"); if [ $# -gt 1 ]; then args+=("$2"); shift; else has_file=1; fi ;;
    -*) args+=("$1") ;;
    /*) args+=("$1"); has_file=1 ;;
    *) args+=("$PWD/$1"); has_file=1 ;;
  esac
  shift
done
[ "$has_file" -eq 1 ] || args+=(--demo)
cd "$KC_ROOT/build"
exec ./korvalo-cor "${args[@]}"
