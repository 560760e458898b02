#!/usr/bin/env bash
# Remakes doc/charts.png, the picture in the README: the top of the charts page of a real
# run (Tiling at 640x480, three repeats), drawn by headless Chromium. Run it after a change
# to the page. Neither the build nor the tests use it.
# Usage: scripts/screenshot-charts.sh [PROGRAM [PNG]]   (default build/corvalis, doc/charts.png)
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath -m "${1:-build/corvalis}")
png=$(realpath -m "${2:-doc/charts.png}")

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "screenshot-charts: Chromium is not installed (Debian: apt-get install chromium); no picture made" >&2
  exit 1
fi
if [ ! -x "$program" ]; then
  echo "screenshot-charts: no program at $program (build it: cmake -S . -B build && cmake --build build -j2)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "screenshot-charts: running $program -640x480 --tests tiling --repeat 3 (about a minute)"
(cd "$work" && "$program" -640x480 --tests tiling --repeat 3 --output results >/dev/null)
# NOTE: Chromium's own first-run, network and update work is switched off, and its profile
# lives in the scratch folder, so that the picture depends on the page alone.
"$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --window-size=1000,1075 --screenshot="$work/charts.png" \
  "file://$work/results.charts.htm" >/dev/null 2>&1
if [ ! -s "$work/charts.png" ]; then
  echo "screenshot-charts: $browser made no picture of $work/results.charts.htm" >&2
  exit 1
fi
mv "$work/charts.png" "$png"
echo "screenshot-charts: wrote $png ($(stat -c %s "$png") bytes)"
