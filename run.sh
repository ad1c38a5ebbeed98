#!/usr/bin/env bash
# Installs what is missing, builds, and runs Rigwright with its development stand-ins.
#
#   ./run.sh              with a display: opens the development host with the sample part and the
#                         add-in; press "Rigwright" to start the editor. Files go under out/session.
#   ./run.sh --headless   (also what happens without a display) plays the whole system through
#                         on a virtual display with a scripted user: a machine is made, its solids
#                         come from a checked level and a pick in the host, and it is exported as
#                         a bundle and into Kelmora's machine folder. Results and screenshots land
#                         in out/demo and are verified.
#   ./run.sh --windows    the same scripted run on Windows under Wine (virtual desktop, virtual
#                         display): Rigwright installed from rigwright.msi and the stand-ins from
#                         rigwright-dev.msi into a Wine prefix of the run's own. The bundle, the
#                         machine installed under %APPDATA%, and screenshots land in out/windows;
#                         they are verified with the Linux tool and compared with out/demo (played
#                         first when missing).
set -euo pipefail
cd "$(dirname "$0")"

headless=false
case "${1:-}" in
  --headless) headless=true ;;
  --windows) exec scripts/run-windows.sh ;;
  "") [ -n "${DISPLAY:-}" ] || headless=true ;;
  *) echo "usage: ./run.sh [--headless | --windows]" >&2; exit 2 ;;
esac

scripts/ensure-packages.sh
cmake --preset release >/dev/null
# The programs of the development install and the tool; the tests are ./test.sh's.
cmake --build --preset release --target rigwright RigwrightDevHost RigwrightAddin RigwrightWrapper \
  MavriloDll rigwright_dev_install_machines

build=build/release
rigwright=$build/tools/rigwright

if ! $headless; then
  # The user's own folders stay untouched: the session keeps its machines and installs here.
  session=out/session
  mkdir -p "$session/appdata/Kelmora/MachineCfg"
  echo "Machine library: $session/appdata/Kelmora/Rigwright/"
  echo "Kelmora's machine folder: $session/appdata/Kelmora/MachineCfg/"
  XDG_CONFIG_DIRS="$PWD/$build/dev-config" APPDATA="$PWD/$session/appdata" \
    exec "$build/dev-install/RigwrightDevHost" --part data/sample-part.json
fi

demo=out/demo
echo "== Playing the whole system with a scripted user (virtual display)"
xvfb-run -a -s "-screen 0 1280x1024x24" scripts/demo.sh "$build" "$demo"

echo
echo "== What the scripted user saw and answered"
sed 's/^/  /' "$demo/host.log"

echo
echo "== The machine the editor made: $demo/appdata/Kelmora/Rigwright/"
ls -l "$demo/appdata/Kelmora/Rigwright/Demo Mill/" | sed 's/^/  /'

echo
echo "== Verifying what was exported"
for f in "$demo"/bundles/*.OrvaneSimBundle "$demo"/appdata/Kelmora/MachineCfg/*/*.OrvaneSim*; do
  "$rigwright" verify "$f"
done

echo
echo "== Contents"
"$rigwright" list "$demo/bundles/Demo Mill.OrvaneSimBundle"

echo
echo "== Screenshots"
ls "$demo"/screenshots/*.png | sed 's/^/  /'
