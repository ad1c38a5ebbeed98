#!/usr/bin/env bash
# Times `rigwright install`, `bundle`, `verify`, `list` and `extract` on a machine of 8 binary
# STL models (100 MB and 400 MB of noisy float vertices) against `pigz -6 -p2` and `gzip -6` on
# the same model bytes, in one run, and records each command's peak memory with /usr/bin/time.
#
#   scripts/bench-export.sh [--runs N] [--sizes "100 400"] [--work DIR] [--rigwright PATH]
#
# Prints one Markdown table per size: medians of N runs (default 3), the ratio of pigz's wall
# time to each command's (>= 1.0: at least as fast as pigz), and the largest peak memory seen;
# then, when it is built (target package_stages_perftest), where a package's processor time goes.
# Run it on a quiet machine, or read the ratios rather than the times.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
sizes="100 400"
work="${TMPDIR:-/tmp}/rigwright-bench"
rigwright=build/ci/tools/rigwright
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --sizes) sizes="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --rigwright) rigwright="$2"; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--sizes \"100 400\"] [--work DIR] [--rigwright PATH]" >&2; exit 2 ;;
  esac
done

need_apt=()
command -v pigz >/dev/null || need_apt+=(pigz)
[ -x /usr/bin/time ] || need_apt+=(time)
if [ ${#need_apt[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need_apt[@]}"
fi
if [ ! -x "$rigwright" ]; then
  cmake --preset ci >/dev/null && cmake --build --preset ci --target rigwright
fi
rigwright="$(realpath "$rigwright")"
stages="$(dirname "$(dirname "$rigwright")")/wrapper/package/package_stages_perftest"

# Writes <dir>/Bench.mcfg and its machine data folder with 8 binary STL models of <mb> MB in all.
# Vertices are floats between 32 and 128 with random low bits: like real meshes, they compress to
# about half.
make_machine() {
  local dir="$1" mb="$2"
  mkdir -p "$dir/Bench"
  python3 - "$dir" "$mb" <<'EOF'
import json, os, random, struct, sys
folder, mb = sys.argv[1], int(sys.argv[2])
random.seed(13)
triangles = mb * 1000 * 1000 // 8 // 50


def noisy_floats(count):
    """The four bytes of `count` floats of about 4 to 30000, as four streams (low byte first):
    random low mantissa bits, a few exponents."""
    return [random.randbytes(count), random.randbytes(count),
            random.randbytes(count).translate(bytes(0x3C + i % 16 for i in range(256))),
            bytes([0x42]) * count]


paths = []
for m in range(8):
    stl = bytearray(84 + 50 * triangles)
    stl[0:80] = b"Rigwright benchmark model (binary STL)".ljust(80, b" ")
    stl[80:84] = struct.pack("<I", triangles)
    normals = random.randbytes(12 * triangles)
    for b in range(12):
        stl[84 + b::50] = normals[b::12]
    # A triangle strip, as meshes share vertices: triangle t has vertices t, t+1 and t+2.
    for k in range(3):
        streams = noisy_floats(triangles + 2)
        for j in range(4):
            for corner in range(3):
                stl[84 + 12 + 12 * corner + 4 * k + j::50] = streams[j][corner:corner + triangles]
    name = f"part{m}.stl"
    with open(os.path.join(folder, "Bench", name), "wb") as f:
        f.write(stl)
    paths.append(name)
components = [{"GUID": f"00000000-0000-0000-0000-00000000000{m}", "Name": f"Part{m}",
               "Kind": "Static", "Geometry": {"Path": p}} for m, p in enumerate(paths)]
machine = {"MachineDefinition": {"Header": {"GUID": "B3C1A5E0-0000-4000-8000-000000000000",
           "Name": "Bench", "Orientation": "Vertical", "Units": "mm", "FormatVersion": 1},
           "Components": components}}
with open(os.path.join(folder, "Bench.mcfg"), "w") as f:
    json.dump(machine, f, indent=2)
with open(os.path.join(folder, "Bench", "config.json"), "w") as f:
    f.write("{}\n")
EOF
  cat "$dir"/Bench/part*.stl >"$dir/models.bin"
}

# Runs the command <runs> times; prints "<median wall s> <max peak KB>".
measure() {
  local walls=() peaks=() i out
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 ||
      echo "failed: $*" >&2
    out=$(tail -1 "$work/time.txt")
    walls+=("${out% *}")
    peaks+=("${out#* }")
  done
  printf '%s\n' "${walls[@]}" | sort -g | awk '{a[NR]=$1} END {printf "%s ", a[int((NR+1)/2)]}'
  printf '%s\n' "${peaks[@]}" | sort -g | tail -1
}

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
  "$(. /etc/os-release && echo "$PRETTY_NAME"); load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); $runs runs per command, medians"
for mb in $sizes; do
  dir="$work/$mb"
  rm -rf "$dir"
  mkdir -p "$dir"
  make_machine "$dir" "$mb"
  models=$(stat -c %s "$dir/models.bin")
  read -r pigz_s pigz_kb < <(measure sh -c "pigz -6 -p2 -c '$dir/models.bin' > '$dir/models.pigz.gz'")
  read -r gzip_s gzip_kb < <(measure sh -c "gzip -6 -c '$dir/models.bin' > '$dir/models.gzip.gz'")
  read -r inst_s inst_kb < <(measure "$rigwright" install "$dir/Bench.mcfg" "$dir/installed")
  read -r bund_s bund_kb < <(measure "$rigwright" bundle "$dir/Bench.mcfg" "$dir/Bench.OrvaneSimBundle")
  read -r veri_s veri_kb < <(measure "$rigwright" verify "$dir/Bench.OrvaneSimBundle")
  read -r list_s list_kb < <(measure "$rigwright" list "$dir/Bench.OrvaneSimBundle")
  read -r extr_s extr_kb < <(measure sh -c "rm -rf '$dir/extracted' && exec '$rigwright' extract '$dir/installed/Bench/Bench.OrvaneSim' '$dir/extracted'")
  read -r unpz_s unpz_kb < <(measure sh -c "pigz -d -c '$dir/models.pigz.gz' > /dev/null")
  pigz_size=$(stat -c %s "$dir/models.pigz.gz")
  package_size=$(stat -c %s "$dir/installed/Bench/Bench.OrvaneSim")
  echo
  echo "### $mb MB of models ($models bytes; package $package_size bytes, pigz $pigz_size bytes)"
  echo
  echo "| Command | Wall time (median) | pigz time / this | Peak memory |"
  echo "|---|---|---|---|"
  row() { awk -v n="$1" -v s="$2" -v p="$pigz_s" -v kb="$3" \
    'BEGIN {printf "| %s | %.2f s | %.2f | %.1f MB |\n", n, s, (s > 0 ? p / s : 0), kb / 1024}'; }
  row "\`pigz -6 -p2\` of the model bytes" "$pigz_s" "$pigz_kb"
  row "\`gzip -6\` of the model bytes" "$gzip_s" "$gzip_kb"
  row "\`rigwright install\`" "$inst_s" "$inst_kb"
  row "\`rigwright bundle\`" "$bund_s" "$bund_kb"
  row "\`rigwright verify\` of the bundle" "$veri_s" "$veri_kb"
  row "\`rigwright list\` of the bundle" "$list_s" "$list_kb"
  row "\`rigwright extract\` of the machine package" "$extr_s" "$extr_kb"
  row "\`pigz -d\` of the pigz output" "$unpz_s" "$unpz_kb"
  if [ -x "$stages" ]; then
    echo
    "$stages" "$dir" "$dir"/Bench/part*.stl
  fi
  rm -rf "$dir"
done
