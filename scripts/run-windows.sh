#!/usr/bin/env bash
# ./run.sh --windows: builds the Windows programs and installers, plays the scripted whole system
# under Wine from the installed packages (scripts/demo-windows.sh), and checks what came out with
# the Linux tool against the Linux run's (out/demo, played first when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

demo=out/demo
out=out/windows

scripts/ensure-packages.sh
if [ ! -f "$demo/bundles/Demo Mill.OrvaneSimBundle" ]; then
  echo "== The Linux run to compare with ($demo)"
  ./run.sh --headless >/dev/null
fi
# The Linux tool that checks the Windows results.
cmake --preset release >/dev/null
cmake --build --preset release --target rigwright >/dev/null
rigwright=build/release/tools/rigwright

echo "== Building the Windows programs and installers"
scripts/windows-sysroot.sh
cmake --preset windows >/dev/null
# The build runs its own tools through Wine, in the build's prefix with a server of its own.
(
  export WINEPREFIX="$PWD/build/windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver -p >build/windows/wine.log 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  if [ -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot >>build/windows/wine.log 2>&1
  else
    /usr/lib/wine/wine64 wineboot -i >>build/windows/wine.log 2>&1
  fi
  cmake --build --preset windows --target rigwright_msi rigwright_dev_msi
)

echo
echo "== Playing the whole system on Windows (Wine, virtual desktop) with a scripted user"
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" scripts/demo-windows.sh build/windows "$out"

echo
echo "== What the scripted user was told"
sed 's/^/  /' "$out/messages.txt"

echo
echo "== Verifying what was exported on Windows"
for f in "$out"/bundles/*.OrvaneSimBundle "$out"/machine/*/*.OrvaneSim*; do
  "$rigwright" verify "$f"
done

echo
echo "== The machine installed on Windows against the one installed on Linux"
# The records, names and sizes, after the line that names the file.
records() { "$rigwright" list "$1" | tail -n +2; }
for f in "Demo Mill.OrvaneSim" "Demo Mill.OrvaneSimCfg"; do
  records "$out/machine/Demo Mill/$f" >"$out/logs/list-windows.txt"
  records "$demo/appdata/Kelmora/MachineCfg/Demo Mill/$f" >"$out/logs/list-linux.txt"
  if ! diff -u "$out/logs/list-linux.txt" "$out/logs/list-windows.txt"; then
    echo "run.sh --windows: $f holds other records on Windows than on Linux" >&2
    exit 1
  fi
  echo "  $f: the same records"
  sed 's/^/    /' "$out/logs/list-windows.txt"
done

echo
echo "== Screenshots"
ls "$out"/screenshots/*.png | sed 's/^/  /'
