#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for FUZZ_SECONDS seconds each
# (default 60), starting from its committed seed corpus, and fails when any
# target reports a crash, a hang, a leak or a sanitizer finding.
#   run_fuzzers.sh BUILD_DIR [TARGET...]    (targets: source_compiler,
#   compiled_game, saved_game, picture, console_text; default all)
# New inputs go to a scratch corpus; findings to BUILD_DIR/fuzz-findings/.
set -u
build=$(cd "$1" && pwd)
shift
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(source_compiler compiled_game saved_game picture console_text)

findings=$build/fuzz-findings
logs=$build/fuzz-logs
mkdir -p "$findings" "$logs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
for target in "${targets[@]}"; do
  program=$build/fuzz/${target}_fuzzer
  if [ ! -x "$program" ]; then
    if [ "$target" = picture ]; then
      echo "fuzz: $target skipped (no graphical front end in this build)"
      continue
    fi
    echo "fuzz: $program is missing"
    failed=1
    continue
  fi
  mkdir -p "$scratch/$target"
  log=$logs/$target.log
  "$program" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/$target-" \
    "$scratch/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -Eo '(DONE|#[0-9]+).*cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | grep -Eo 'cov: [0-9]+ ft: [0-9]+')
  if [ $status -ne 0 ]; then
    echo "fuzz: $target FAILED (status $status); log $log, inputs in $findings"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20
    failed=1
  else
    echo "fuzz: $target ok: ${runs:-?} runs in ${seconds}s, ${cov:-cov ?}"
  fi
done
exit $failed
