#!/usr/bin/env bash
# Installs what is missing, builds, then exports every sample machine in "data/Generic Machines"
# as a bundle and as an installed machine under out/, and verifies every file it made.
set -euo pipefail
cd "$(dirname "$0")"

scripts/ensure-packages.sh
cmake --preset release >/dev/null
cmake --build --preset release

rigwright=build/release/tools/rigwright
out=out
rm -rf "$out/bundles" "$out/MachineCfg"
mkdir -p "$out/bundles" "$out/MachineCfg"

shopt -s nullglob
for machine in "data/Generic Machines"/*.mcfg; do
  stem=$(basename "$machine" .mcfg)
  echo "== $stem"
  "$rigwright" bundle "$machine" "$out/bundles/$stem.OrvaneSimBundle"
  "$rigwright" install "$machine" "$out/MachineCfg/"
done

echo
echo "== Verifying what was made"
for f in "$out"/bundles/*.OrvaneSimBundle "$out"/MachineCfg/*/*.OrvaneSim "$out"/MachineCfg/*/*.OrvaneSimCfg; do
  "$rigwright" verify "$f"
done

echo
echo "== Contents"
for f in "$out"/bundles/*.OrvaneSimBundle; do
  "$rigwright" list "$f"
  echo
done
