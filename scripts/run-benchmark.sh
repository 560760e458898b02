#!/usr/bin/env bash
# Builds Corvalis and runs every test headless (Mesa's llvmpipe unless a GPU's EGL driver
# is found; --window draws in X11 windows instead), writing the reports into
# ./corvalis-results/.
# The run is checked: --repeat auto measures in rounds until every value's interval is
# narrow, so each number comes with its interval and each detection with its confidence.
# --single runs the plain single pass instead; --repeat N picks a fixed count.
# Extra arguments go to the program, e.g. scripts/run-benchmark.sh -640x480 --tests fillrate
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCORVALIS_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

mkdir -p corvalis-results
status=0
# Headless unless asked for windows: the same run on a desktop as on a server.
mode=(--headless)
checked=(--repeat auto)
size=()
args=()
for arg in "$@"; do
  case "$arg" in
    -[0-9]*) size=("$arg") ;;  # the program takes the screen size first
    --window) mode=(); args+=("$arg") ;;
    --single) checked=() ;;
    --repeat | --repeat=*) checked=(); args+=("$arg") ;;
    *) args+=("$arg") ;;
  esac
done
build/corvalis "${size[@]}" "${mode[@]}" "${checked[@]}" --output corvalis-results/results "${args[@]}" ||
  status=$?
echo
echo "Reports are in $(pwd)/corvalis-results/ (results.htm, results.txt, results.bb.txt, results.json, results.charts.htm)"
exit $status
