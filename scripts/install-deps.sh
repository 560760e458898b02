#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Corvalis need.
# Usage: scripts/install-deps.sh [--windows]   (--windows adds the MinGW cross compiler
# and what the end-to-end run of the Windows program under Wine needs)
set -euo pipefail

packages=(cmake g++ make pkg-config libegl-dev libgl-dev libglu1-mesa-dev libegl-mesa0
          libgl1-mesa-dri libgtest-dev nlohmann-json3-dev python3 python3-jsonschema
          libx11-dev libxrandr-dev libx11-xcb-dev libxcb-present-dev xvfb chromium imagemagick
          man-db groff-base dpkg-dev lintian)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64 wine64 wine xvfb xdotool x11-utils xclip imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${#missing[@]} Debian packages: ${missing[*]}"
echo "install-deps: on a fresh machine this takes 2 to 5 minutes (the Windows tools most of it)"
started=$SECONDS
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
echo "install-deps: done in $((SECONDS - started)) s"
