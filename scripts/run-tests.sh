#!/usr/bin/env bash
# Builds Corvalis with warnings as errors and runs the whole test suite:
#  1. unit and integration tests (real Mesa llvmpipe/softpipe through EGL, the real binary);
#  2. the Debian package: lintian without errors, Depends covering every linked library,
#     the program unpacked from it starting and running (scripts/check-package.sh);
#  3. the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#  4. the Windows program cross-built with MinGW-w64 and run end to end under Wine,
#     when .ci/wine-e2e.sh exists (skip with CORVALIS_SKIP_WINDOWS=1).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# Paths below the checkout count as relative for ccache, so a fresh clone elsewhere
# reuses what an earlier build compiled.
export CCACHE_BASEDIR="$PWD"

with_windows=1
[ "${CORVALIS_SKIP_WINDOWS:-0}" = "1" ] && with_windows=0
[ -f .ci/wine-e2e.sh ] || with_windows=0
if [ $with_windows = 1 ]; then scripts/install-deps.sh --windows; else scripts/install-deps.sh; fi

echo "== build (warnings are errors)"
cmake -S . -B build -DCORVALIS_WERROR=ON -DCORVALIS_TESTS=ON >/dev/null
cmake --build build -j"$jobs"

echo "== unit and integration tests"
(cd build && ctest --output-on-failure --no-tests=error -j"$jobs")

echo "== Debian package: lintian, dependencies, the installed program"
scripts/check-package.sh build

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCORVALIS_WERROR=ON -DCORVALIS_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-sanitize -j"$jobs" --target corvalis_unit_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 build-sanitize/corvalis_unit_tests --gtest_brief=1

if [ $with_windows = 1 ]; then
  echo "== Windows program: MinGW-w64 cross build and end-to-end run under Wine"
  .ci/wine-e2e.sh
fi
echo "== all tests passed"
