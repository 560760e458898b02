#!/usr/bin/env bash
# Builds Corvalis and runs every test headless (Mesa's llvmpipe unless a GPU's EGL driver
# is found; --window draws in X11 windows instead), writing the reports into
# ./corvalis-results/.
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
for arg in "$@"; do [ "$arg" = "--window" ] && mode=(); done
build/corvalis "${mode[@]}" --output corvalis-results/results "$@" || status=$?
echo
echo "Reports are in $(pwd)/corvalis-results/ (results.htm, results.txt, results.bb.txt, results.json, results.charts.htm)"
exit $status
