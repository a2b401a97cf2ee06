#!/usr/bin/env bash
# Shared by run.sh and test.sh: installs the Debian packages the build needs
# (only when one is missing) and configures + builds into a given folder.
set -euo pipefail

KC_PACKAGES=(cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libasound2-dev alsa-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libebur128-dev
  libxcb-shm0-dev fonts-liberation2 libx11-dev xvfb xauth x11-utils xdotool sox
  pulseaudio pulseaudio-utils libasound2-plugins libpulse-dev
  desktop-file-utils appstream)

kc_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

kc_install_packages() {
  local missing=() p
  for p in "${KC_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    kc_sudo apt-get update
    kc_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# kc_build DIR [cmake args...]
kc_build() {
  local dir=$1; shift
  cmake -S "$KC_ROOT" -B "$KC_ROOT/$dir" -G Ninja "$@"
  cmake --build "$KC_ROOT/$dir" -j2
}
