#!/usr/bin/env bash
# End-to-end check of the Windows program: cross-builds corvalis.exe, runs it on Wine
# with Mesa's llvmpipe behind it (Xvfb, no window manager), drives the launcher dialog
# with the keyboard and reads back what it wrote.
#
#   .ci/wine-e2e.sh            build into build-wine-e2e and run the checks
#
# Environment: CORVALIS_EXE (use this exe, skip the build), E2E_SIZE (default 640x480),
# E2E_ARTIFACTS (folder for the screenshots and reports; default a temporary folder),
# E2E_RUN_TIMEOUT (seconds the seven tests may take; default 1200), E2E_DRIVER_PATTERN
# (what the driver line must contain; default llvmpipe), KEEP=1 (keep the temporary
# folder). As root with CI=true the Debian packages are installed first.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SIZE="${E2E_SIZE:-640x480}"
RUN_TIMEOUT="${E2E_RUN_TIMEOUT:-1200}"
DRIVER_PATTERN="${E2E_DRIVER_PATTERN:-llvmpipe}"
STARTED=$SECONDS

log() { printf '[wine-e2e %3ds] %s\n' "$((SECONDS - STARTED))" "$*"; }
fail() {
  log "FAIL: $*"
  exit 1
}

# --- Packages ---------------------------------------------------------------------------
need_packages() {
  local tool
  for tool in wine xvfb-run Xvfb xdotool xwininfo xclip import x86_64-w64-mingw32-g++ cmake; do
    command -v "$tool" >/dev/null 2>&1 || return 0
  done
  return 1
}
if need_packages; then
  if [[ "${CI:-}" == "true" && "$(id -u)" == "0" ]]; then
    log "installing packages"
    export DEBIAN_FRONTEND=noninteractive
    timeout 300 apt-get update -qq
    timeout 900 apt-get install -y -qq wine64 wine xvfb xdotool x11-utils xclip imagemagick \
      g++-mingw-w64-x86-64 cmake make >/dev/null
  else
    fail "missing tools (wine, Xvfb, xdotool, x11-utils, xclip, imagemagick, MinGW-w64, cmake)"
  fi
fi

# --- Build --------------------------------------------------------------------------------
EXE="${CORVALIS_EXE:-}"
if [[ -z "$EXE" ]]; then
  BUILD="$ROOT/build-wine-e2e"
  log "cross-building corvalis.exe in $BUILD"
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCORVALIS_WERROR=ON >/dev/null
  cmake --build "$BUILD" --target corvalis -j2 >/dev/null
  EXE="$BUILD/corvalis.exe"
fi
[[ -f "$EXE" ]] || fail "no exe at $EXE"

# --- Scratch folder, X server and Wine prefix ----------------------------------------------
WORK="$(mktemp -d /tmp/corvalis-wine-e2e.XXXXXX)"
ARTIFACTS="${E2E_ARTIFACTS:-$WORK/artifacts}"
mkdir -p "$ARTIFACTS"
XVFB_PID=""
APP_PID=""
XCLIP_PID=""

# The scratch folder is removed after a pass; after a failure (or with KEEP=1) it stays
# for inspection and its path is the last thing printed.
cleanup() {
  local status=$?
  set +e
  [[ -n "$APP_PID" ]] && kill "$APP_PID" 2>/dev/null
  [[ -n "$XCLIP_PID" ]] && kill "$XCLIP_PID" 2>/dev/null
  [[ -n "${WINEPREFIX:-}" ]] && timeout 20 wineserver -k 2>/dev/null
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  if [[ "${KEEP:-0}" == "1" || $status -ne 0 ]]; then
    log "screenshots, logs and reports kept in $ARTIFACTS (scratch folder $WORK)"
  else
    rm -rf "$WORK"
  fi
}
trap cleanup EXIT

display_number=""
for n in $(seq 90 130); do
  if [[ ! -e "/tmp/.X11-unix/X$n" && ! -e "/tmp/.X$n-lock" ]]; then
    display_number=$n
    break
  fi
done
[[ -n "$display_number" ]] || fail "no free X display number"
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$display_number"
for _ in $(seq 1 50); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.2
done
xwininfo -root >/dev/null 2>&1 || fail "Xvfb did not start"

export WINEPREFIX="$WORK/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
log "creating the Wine prefix"
timeout 180 wineboot -i >"$WORK/wineboot.log" 2>&1 || fail "wineboot failed"
# Without a window manager Wine would wait 2 s for every hidden or destroyed window.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
  fail "could not set the X11 driver to unmanaged"

# --- Helpers ---------------------------------------------------------------------------------
# The first visible top-level window whose title is exactly $1, or nothing.
find_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

# Waits up to $2 seconds for a visible window titled $1 and prints its id.
wait_for_window() {
  local deadline=$((SECONDS + $2)) id
  while ((SECONDS < deadline)); do
    id="$(find_window "$1")"
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    app_alive || return 1
    sleep 0.5
  done
  return 1
}

# Waits up to $3 seconds for a visible window titled $1 other than the window $2 (a
# dialog shown again is a new window) and prints its id.
wait_for_new_window() {
  local deadline=$((SECONDS + $3)) id
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
      if [[ "$id" != "$2" ]]; then
        echo "$id"
        return 0
      fi
    done
    app_alive || return 1
    sleep 0.5
  done
  return 1
}

app_alive() { [[ -n "$APP_PID" ]] && kill -0 "$APP_PID" 2>/dev/null; }

# Waits up to $1 seconds for the program to end; its exit status in APP_STATUS.
wait_for_exit() {
  local deadline=$((SECONDS + $1))
  while ((SECONDS < deadline)); do
    if ! app_alive; then
      APP_STATUS=0
      wait "$APP_PID" || APP_STATUS=$?
      APP_PID=""
      return 0
    fi
    sleep 0.3
  done
  return 1
}

# Keys go to the window under the pointer (no window manager sets the focus).
press() {
  local window="$1"
  shift
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove "$((X + WIDTH / 2))" "$((Y + 10))"
  sleep 0.3
  xdotool key --delay 150 "$@"
}

start_app() {
  local folder="$1"
  shift
  cp "$EXE" "$folder/corvalis.exe"
  (cd "$folder" && exec timeout 900 wine corvalis.exe "$@" >"$folder/wine.log" 2>&1) &
  APP_PID=$!
}

DIALOG="Corvalis 0.50"

# --- 1. A full run through the dialog --------------------------------------------------------
RUN="$WORK/run"
mkdir -p "$RUN"
log "starting corvalis.exe -$SIZE"
# Two repeats of every timed measurement: BASE.json must then carry their samples.
start_app "$RUN" "-$SIZE" --repeat 2
dialog="$(wait_for_window "$DIALOG" 90)" || fail "the launcher dialog did not appear"
sleep 1
import -window root "$ARTIFACTS/dialog-first.png"
log "dialog shown; pressing Start"
run_started=$SECONDS
press "$dialog" Return
dialog="$(wait_for_new_window "$DIALOG" "$dialog" "$RUN_TIMEOUT")" ||
  fail "the dialog did not come back within ${RUN_TIMEOUT}s"
log "tests ran for $((SECONDS - run_started))s; the dialog is back"
sleep 1
import -window root "$ARTIFACTS/dialog-after-run.png"

for ext in htm txt bb.txt; do
  [[ -s "$RUN/results.$ext" ]] || fail "results.$ext was not written"
done

# BB code to clipboard: the first tab stop is Start; Exit, View details and BB code to
# clipboard follow in the dialog's tab order.
printf 'stale' | xclip -selection clipboard -loops 1 >/dev/null 2>&1 &
XCLIP_PID=$!
sleep 0.5
press "$dialog" Tab Tab Tab space
clipboard=""
for _ in $(seq 1 20); do
  sleep 0.5
  clipboard="$(xclip -o -selection clipboard -t STRING 2>/dev/null | od -An -tx1 -v | tr -d ' \n')"
  [[ -n "$clipboard" && "$clipboard" != "$(printf 'stale' | od -An -tx1 -v | tr -d ' \n')" ]] && break
done
xclip -o -selection clipboard -t STRING >"$ARTIFACTS/clipboard.txt" 2>/dev/null || true
# NOTE: Wine's X11 clipboard bridge hands CF_TEXT to X with each CR LF as LF; the
# STRING target keeps the ISO-8859-1 bytes. So the X side must equal the file with its
# CR LF pairs turned into LF, byte for byte.
expected="$(sed 's/\r$//' "$RUN/results.bb.txt" | od -An -tx1 -v | tr -d ' \n')"
if [[ "$(tail -c 2 "$RUN/results.bb.txt" | od -An -tx1 | tr -d ' \n')" != "0d0a" ]]; then
  # sed appends a line feed to a last line without one; the file ends with [/CODE].
  expected="${expected%0a}"
fi
[[ "$clipboard" == "$expected" ]] ||
  fail "the clipboard differs from results.bb.txt (see $ARTIFACTS/clipboard.txt)"
log "clipboard matches results.bb.txt ($(stat -c %s "$RUN/results.bb.txt") bytes in the file)"

press "$dialog" Escape
wait_for_exit 30 || fail "Exit did not end the program"
[[ "$APP_STATUS" == "0" ]] || fail "the program exited with $APP_STATUS"
cp "$RUN"/results.* "$ARTIFACTS/" 2>/dev/null || true

# --- 2. The reports -----------------------------------------------------------------------------
for ext in htm txt bb.txt; do
  # Every line feed is part of a CR LF pair.
  lf=$(tr -cd '\n' <"$RUN/results.$ext" | wc -c)
  crlf=$(grep -c $'\r$' "$RUN/results.$ext" || true)
  [[ "$lf" == "$crlf" ]] || fail "results.$ext has line feeds without CR ($crlf of $lf)"
  ! grep -qa $'\r\r' "$RUN/results.$ext" || fail "results.$ext has a doubled CR"
done
grep -qa "$DRIVER_PATTERN" "$RUN/results.htm" ||
  fail "the information section does not name $DRIVER_PATTERN"
grep -a '^Info:Driver=' "$RUN/results.txt" | grep -qa "$DRIVER_PATTERN" ||
  fail "the text report's driver line does not name $DRIVER_PATTERN"
grep -qa "${SIZE}" "$RUN/results.txt" || fail "the text report does not show the resolution $SIZE"
for name in "Fillrate" "Bandwidth" "Geometry" "Texturing" "Readback" "Texture cache" "Tiling"; do
  grep -qa "$name" "$RUN/results.htm" || fail "no section for $name in results.htm"
done
skipped=$(grep -ca 'test skipped' "$RUN/results.htm" || true)
# A test that ran has key lines in the text report and no window or context error; one
# that has not landed yet is a "test skipped" section on the page.
ran=0
for key in Fillrate Bandwidth Geometry Texturing Readback TexCache Tiling; do
  lines=$(grep -ca "^$key:" "$RUN/results.txt" || true)
  ((lines > 0)) && ran=$((ran + 1))
  if grep -qa "^$key:.*Error=" "$RUN/results.txt"; then
    fail "$key reported an error: $(grep -a "^$key:.*Error=" "$RUN/results.txt" | head -n 1 | tr -d '\r')"
  fi
done
((ran + skipped == 7)) || fail "$ran tests ran and $skipped were skipped; expected 7 sections"
if grep -qa '^TexCache:' "$RUN/results.txt"; then
  [[ -s "$RUN/results.rgba.csv" ]] || fail "the Texture cache test wrote no results.rgba.csv"
fi
if grep -qa '^Tiling:' "$RUN/results.txt"; then
  [[ -s "$RUN/results.tile_all.csv" ]] || fail "the Tiling test wrote no results.tile_all.csv"
fi
# The machine-readable result and the charts page, written beside the reports.
python3 - "$RUN/results.json" "$RUN/results.txt" <<'PY' || fail "results.json does not match results.txt or holds no samples of the two repeats"
import json, sys
values = json.load(open(sys.argv[1], encoding="utf-8"))["values"]
lines = open(sys.argv[2], "rb").read().decode("latin-1").split("\r\n")[1:]
keys = [l.split("=", 1)[0] for l in lines if "=" in l and not l.startswith("Info:")]
with_samples = [k for k, v in values.items() if len(v.get("samples", [])) == 2]
sys.exit(0 if keys and sorted(keys) == sorted(values) and with_samples else 1)
PY
if [[ -e "$RUN/results.rgba.csv" || -e "$RUN/results.tile_all.csv" ]]; then
  grep -qa '<svg' "$RUN/results.charts.htm" || fail "no charts page beside the data files"
fi
! ls -a "$RUN" | grep -qi '^cvl.*\.tmp$' || fail "temporary files were left beside the reports"
log "reports complete: $ran tests with measurements, $skipped sections 'test skipped'"
grep -a '^Info' "$RUN/results.txt" | head -n 5 | tr -d '\r' | sed 's/^/    /'

# --- 3. Report files that cannot be created: "Ouch!" ---------------------------------------------
OUCH="$WORK/ouch"
mkdir -p "$OUCH/results.htm" # a folder where the page would be created
log "Start with an uncreatable report page"
start_app "$OUCH" "-$SIZE"
dialog="$(wait_for_window "$DIALOG" 60)" || fail "the dialog did not appear (Ouch run)"
press "$dialog" Return
ouch="$(wait_for_window "Ouch!" 30)" || fail "no \"Ouch!\" message box"
sleep 0.5
import -window root "$ARTIFACTS/ouch.png"
press "$ouch" Return
dialog="$(wait_for_new_window "$DIALOG" "$dialog" 30)" ||
  fail "the dialog did not come back after Ouch!"
[[ ! -e "$OUCH/results.txt" && ! -e "$OUCH/results.bb.txt" ]] ||
  log "note: other report files were created beside the failed page"
press "$dialog" Escape
wait_for_exit 30 || fail "Exit did not end the program (Ouch run)"
[[ "$APP_STATUS" == "0" ]] || fail "the program exited with $APP_STATUS (Ouch run)"
log "Ouch! shown, the dialog came back, exit 0"

# --- 4. No X server: the dialog cannot be created, the program ends -------------------------------
NOX="$WORK/nox"
mkdir -p "$NOX"
cp "$EXE" "$NOX/corvalis.exe"
nox_status=0
(cd "$NOX" && DISPLAY= timeout 120 wine corvalis.exe >"$NOX/wine.log" 2>&1) || nox_status=$?
[[ "$nox_status" != "124" ]] || fail "without an X server the program did not end"
[[ ! -e "$NOX/results.htm" ]] || fail "without an X server the program still wrote a report"
log "without an X server the program ended with status $nox_status"

if [[ -n "${E2E_ARTIFACTS:-}" ]]; then log "PASS (artifacts in $ARTIFACTS)"; else log "PASS"; fi
