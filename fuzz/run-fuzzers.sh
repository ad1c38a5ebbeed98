#!/usr/bin/env bash
# Runs every harness of the fuzz build for a given time on its seed corpus and dictionary.
#   fuzz/run-fuzzers.sh <fuzz build folder> <seconds per harness> [harness...]
# New inputs collect in <build>/fuzz-corpus/<harness>/ (kept between runs); a crash, a leak or a
# broken invariant leaves its input in <build>/fuzz-crashes/ and fails the run. The checked-in
# seeds (regression inputs among them) are all run first, whatever the time.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
seconds="$2"
shift 2
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  harnesses=(package_reader_fuzzer machine_document_fuzzer wrapper_options_fuzzer
             pipe_message_fuzzer stl_reply_fuzzer)
fi

failed=()
for harness in "${harnesses[@]}"; do
  corpus="$build/fuzz-corpus/$harness"
  crashes="$build/fuzz-crashes"
  mkdir -p "$corpus" "$crashes"
  echo "== $harness: ${seconds}s"
  if ! "$build/fuzz/$harness" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
      -dict="$here/$harness.dict" -artifact_prefix="$crashes/$harness-" -print_final_stats=1 \
      "$corpus" "$here/corpus/$harness" >"$build/fuzz-$harness.log" 2>&1; then
    failed+=("$harness")
    tail -n 60 "$build/fuzz-$harness.log"
  fi
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' \
    "$build/fuzz-$harness.log" || true
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found a fault in: ${failed[*]} (inputs in $build/fuzz-crashes/)" >&2
  exit 1
fi
