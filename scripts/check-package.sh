#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree and checks that it installs
# what the program needs:
#  1. lintian finds no error and no warning in it;
#  2. its Depends name the package of every shared library the programs link
#     (computed by dpkg-shlibdeps) and the Mesa runtime loaded by name at run time;
#  3. the programs unpacked from it into a scratch root start: --version and a tiny
#     headless run write a report;
#  4. its bash completion lies where bash-completion looks for it and completes
#     "corvalis --te" and "corvalis --tests fill" with the unpacked program.
# Usage: scripts/check-package.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$build"/corvalis_*_amd64.deb 2>/dev/null | head -n 1 || true)
[ -n "$deb" ] || deb=$(ls "$build"/corvalis_*.deb | head -n 1)
echo "package: $deb"

# lintian refuses to be run as root only in its advice; the package is its input alone.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2> >(grep -v 'root privileges' >&2)

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Every name in Depends, alternatives included, without version constraints.
names=" $(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g' | tr '\n' ' ') "
missing=()
for needed in libegl-mesa0 libgl1-mesa-dri; do
  [[ "$names" == *" $needed "* ]] || missing+=("$needed (loaded at run time)")
done

dpkg-deb -x "$deb" "$scratch/root"
# corvalis_bench is a tool for developing Corvalis, built but not installed.
[ ! -e "$scratch/root/usr/bin/corvalis_bench" ] ||
  { echo "check-package: corvalis_bench is in the package" >&2; exit 1; }
for program in corvalis; do
  binary="$scratch/root/usr/bin/$program"
  [ -x "$binary" ] || { echo "check-package: $program is not in the package" >&2; exit 1; }
  # The package that holds each library the program links itself (NEEDED; those
  # libraries bring their own dependencies) must be in Depends.
  for library in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(ldd "$binary" | awk -v lib="$library" '$1 == lib && $3 != "not" { print $3 }')
    [ -n "$path" ] || { missing+=("$library of $program (not found)"); continue; }
    owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1 || true)
    [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1 || true)
    [[ -n "$owner" && "$names" == *" $owner "* ]] ||
      missing+=("$library of $program (in ${owner:-no package})")
  done
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'check-package: Depends lacks %s\n' "${missing[@]}" >&2
  exit 1
fi

installed="$scratch/root/usr/bin/corvalis"
version=$("$installed" --version)
[ "$version" = "Corvalis 0.50" ] || { echo "check-package: --version printed '$version'" >&2; exit 1; }
mkdir "$scratch/run"
(cd "$scratch/run" && env -u DISPLAY "$installed" -64x48 --tests tiling --headless --output r \
  >"$scratch/run.log" 2>&1) || { cat "$scratch/run.log"; exit 1; }
head -n 1 "$scratch/run/r.txt" | grep -q '^\[Corvalis 0.50\]' ||
  { echo "check-package: the installed program wrote no report" >&2; exit 1; }
completion="$scratch/root/usr/share/bash-completion/completions/corvalis"
[ -f "$completion" ] || { echo "check-package: no bash completion at ${completion#"$scratch/root"}" >&2; exit 1; }
for words in "--te|--tests" "--tests fill|fillrate"; do
  completed=$(bash --norc --noprofile -c \
    'source "$1"; COMP_WORDS=("$2" $3); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _corvalis; echo "${COMPREPLY[*]}"' \
    _ "$completion" "$installed" "${words%|*}")
  [ "$completed" = "${words#*|}" ] ||
    { echo "check-package: the completion of 'corvalis ${words%|*}' gave '$completed'" >&2; exit 1; }
done
echo "check-package: lintian clean (no errors, no warnings), Depends complete, the installed program runs ($version) and completes"
