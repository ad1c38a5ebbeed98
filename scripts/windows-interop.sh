#!/usr/bin/env bash
# Checks that packages made on Windows are the packages made on Linux: the sample machines are
# bundled and installed by rigwright.exe under Wine and by the Linux rigwright, the Linux tool
# verifies the Windows files, and both are compared byte for byte (content and signature; the
# signature is PKCS #1 v1.5, which has no random part, so equal content signs equally).
# Run by ./test.sh --windows with Wine started; builds (or brings up to date) the Linux tool.
#   scripts/windows-interop.sh [windows build folder] [linux build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
windows_build=${1:-build/windows}
linux_build=${2:-build/ci}
wine=/usr/lib/wine/wine64
exe="$windows_build/tools/rigwright.exe"
linux="$linux_build/tools/rigwright"
[ -f "$exe" ] || { echo "windows-interop: $exe has not been built" >&2; exit 1; }
# Always brought up to date: a Linux tool built from older sources writes other bytes.
if [ ! -f "$linux_build/CMakeCache.txt" ]; then cmake --preset ci >/dev/null; fi
cmake --build "$linux_build" --target rigwright >/dev/null

work="$windows_build/interop"
rm -rf "$work"
# A folder name outside ASCII, as a user's may be.
machines="$work/Maskiner ø"
mkdir -p "$machines" "$work/windows" "$work/linux"
cp -r "data/Generic Machines/." "$machines/"
work=$(cd "$work" && pwd)
machines="$work/Maskiner ø"

# Wine sees the Linux root as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

failures=0
fail() { echo "windows-interop: $*" >&2; failures=$((failures + 1)); }

# Wine's output goes to files: with a persistent wineserver a pipe would never reach its end, and
# the outcome is checked from the files the tool writes, not only from its exit code.
run_windows() {
  local log=$1; shift
  "$wine" "$exe" "$@" >"$log.out" 2>"$log.err"
}

same_bytes() {  # the Windows file, the Linux file, what they are
  if [ ! -f "$1" ]; then fail "rigwright.exe did not write $3"; return; fi
  "$linux" verify "$1" >"$work/verify.out" 2>&1 ||
    { fail "the Linux tool refuses $3 from Windows:"; cat "$work/verify.out" >&2; return; }
  if cmp -s "$1" "$2"; then
    echo "  $3: verified, identical to the Linux one ($(stat -c %s "$1") bytes)"
    return
  fi
  # Tell content from signature apart for the message.
  rm -rf "$work/x-windows" "$work/x-linux"
  "$linux" extract "$1" "$work/x-windows" >/dev/null && "$linux" extract "$2" "$work/x-linux" >/dev/null
  if diff -r "$work/x-windows" "$work/x-linux" >/dev/null; then
    fail "$3: same records, different bytes (signature or framing)"
  else
    fail "$3: the records differ from the Linux ones"
  fi
}

for mcfg in "$machines"/*.mcfg; do
  stem=$(basename "$mcfg" .mcfg)
  echo "$stem:"
  run_windows "$work/windows/$stem-bundle" bundle "$(windows_path "$mcfg")" \
    "$(windows_path "$work/windows/$stem.OrvaneSimBundle")" || fail "rigwright.exe bundle $stem failed"
  "$linux" bundle "$mcfg" "$work/linux/$stem.OrvaneSimBundle" >/dev/null
  same_bytes "$work/windows/$stem.OrvaneSimBundle" "$work/linux/$stem.OrvaneSimBundle" \
    "$stem.OrvaneSimBundle"

  run_windows "$work/windows/$stem-install" install "$(windows_path "$mcfg")" \
    "$(windows_path "$work/windows/MachineCfg")\\" || fail "rigwright.exe install $stem failed"
  "$linux" install "$mcfg" "$work/linux/MachineCfg/" >/dev/null
  for package in "$stem.OrvaneSim" "$stem.OrvaneSimCfg"; do
    same_bytes "$work/windows/MachineCfg/$stem/$package" "$work/linux/MachineCfg/$stem/$package" "$package"
  done
done

# extract never writes through a link already in its target folder. Wine shows a Linux link as
# the folder it leads to, as the C++ library on Windows shows a junction.
mkdir -p "$work/extract/target" "$work/extract/elsewhere"
ln -s "$work/extract/elsewhere" "$work/extract/target/models"
for package in "$work"/windows/MachineCfg/*/*.OrvaneSim; do
  "$linux" list "$package" | grep -q ' models/' && break
done
run_windows "$work/windows/extract-link" extract "$(windows_path "$package")" \
  "$(windows_path "$work/extract/target")" && fail "rigwright.exe extract took a link for a folder"
[ -z "$(ls -A "$work/extract/elsewhere")" ] ||
  fail "rigwright.exe extract wrote through a link into $work/extract/elsewhere"

if [ "$failures" -ne 0 ]; then
  echo "windows-interop: $failures failure(s); the tool's output is in $work/windows/" >&2
  exit 1
fi
echo "windows-interop: every package from rigwright.exe verifies and equals the Linux one"
