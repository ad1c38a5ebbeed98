#!/usr/bin/env bash
# The whole system, played by a scripted user: the development host loads the sample part and the
# add-in and presses "Rigwright"; the wrapper starts the development editor, which makes a machine
# and asks for a solid; the STL picker is answered with one checked level and one pick in the host;
# the editor adds the solids and exports the machine twice through the export dialog, as a bundle
# and into Kelmora's machine folder. Everything lands under <out>, nothing in the user's home.
#
#   scripts/demo.sh <build-folder> <out-folder>
#
# Needs a display (run.sh provides a virtual one). Exits 0 when the run ended cleanly.
set -euo pipefail

build=$(realpath "$1")
out=$(realpath -m "$2")
source_dir=$(cd "$(dirname "$0")/.." && pwd)

rm -rf "$out"
mkdir -p "$out/appdata/Kelmora/MachineCfg" "$out/tmp" "$out/runtime" "$out/bundles" "$out/screenshots"
chmod 700 "$out/runtime"

export XDG_CONFIG_DIRS="$build/dev-config"
export APPDATA="$out/appdata" TMPDIR="$out/tmp" XDG_RUNTIME_DIR="$out/runtime"
export RIGWRIGHT_DEMO_OUT="$out"
export MAVRILO_SCRIPT="$source_dir/data/demo/editor-script.txt"
export RIGWRIGHT_UI_SCRIPT="$source_dir/data/demo/ui-script.txt"

log="$out/host.log"
"$build/dev-install/RigwrightDevHost" --part "$source_dir/data/sample-part.json" \
  --selection-script "$source_dir/data/demo/selection.txt" --run-rigwright >"$log" 2>&1 &
host=$!

# The run is over when the editor has closed: the wrapper has ended and removed its working folder.
installed="$APPDATA/Kelmora/MachineCfg/Demo Mill/Demo Mill.OrvaneSimCfg"
finished() {
  [ -f "$installed" ] && [ -z "$(ls -A "$TMPDIR")" ] &&
    ! pgrep -f "^$build/dev-install/RigwrightWrapper" >/dev/null
}
for _ in $(seq 1 600); do
  finished && break
  if ! kill -0 "$host" 2>/dev/null; then
    echo "demo: the development host ended early; its log:" >&2
    cat "$log" >&2
    exit 1
  fi
  sleep 0.2
done
if ! finished; then
  echo "demo: the run did not finish within two minutes; the host's log:" >&2
  cat "$log" >&2
  kill "$host" 2>/dev/null || true
  exit 1
fi

kill -TERM "$host"
status=0
wait "$host" || status=$?
if [ "$status" -ne 0 ] || ! grep -q "add-in unloaded" "$log"; then
  echo "demo: the host did not end cleanly (status $status); its log:" >&2
  cat "$log" >&2
  exit 1
fi
