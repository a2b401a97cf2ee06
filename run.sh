#!/usr/bin/env bash
# Installs what is missing, builds, and starts Korvalo Cor.
#   ./run.sh [--device NAME] [FILE.wav]
# Without a file the bundled demo plays.
set -euo pipefail
KC_ROOT=$(cd "$(dirname "$0")" && pwd)
source "$KC_ROOT/scripts/setup.sh"
kc_install_packages
kc_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd "$KC_ROOT/build"
exec ./korvalo-cor "$@"
