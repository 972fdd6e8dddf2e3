#!/usr/bin/env bash
# A long run of fuzz targets, one after the other, each until it has executed
# RUNS inputs (default 10 million), with the corpus it grows kept.
#   run_campaign.sh BUILD_DIR [TARGET...]   (default: every target, fastest first)
# Per target: new inputs go to BUILD_DIR/fuzz-campaign/<target>/ (kept from
# one campaign to the next), findings to BUILD_DIR/fuzz-findings/campaign-*,
# the log to BUILD_DIR/fuzz-logs/campaign-<target>.log. A finding ends
# libFuzzer's run; the campaign starts it again for the runs still due, at
# most MAX_FINDINGS times. At the end the committed corpus and the new
# inputs are merged (-merge=1) into BUILD_DIR/fuzz-campaign/<target>-merged/:
# the committed files and the fewest new ones that add coverage to them.
# PROGRAMS names another folder of target programs (say, a copy made before
# a long campaign, so that rebuilding the tree meanwhile changes nothing).
# TAG is added to the names of the logs and of the merged folder, so that two
# campaigns of one target can run at once on the two cores, sharing its
# corpus (libFuzzer reads the other's new inputs as it goes).
set -u
build=$(cd "$1" && pwd)
shift
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-10000000}
maxFindings=${MAX_FINDINGS:-5}
programs=${PROGRAMS:-$build/fuzz}
tag=${TAG:-}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(console_text saved_game compiled_game source_compiler picture)

findings=$build/fuzz-findings
logs=$build/fuzz-logs
mkdir -p "$findings" "$logs"

for target in "${targets[@]}"; do
  program=$programs/${target}_fuzzer
  if [ ! -x "$program" ]; then
    echo "campaign: $program is missing"
    continue
  fi
  corpus=$build/fuzz-campaign/$target
  merged=$build/fuzz-campaign/$target-merged$tag
  log=$logs/campaign-$target$tag.log
  mkdir -p "$corpus"
  : >"$log"
  done_runs=0
  found=0
  start=$(date +%s)
  echo "campaign: $target started $(date -u +%FT%TZ), $runs runs" | tee -a "$log"
  while [ "$done_runs" -lt "$runs" ] && [ "$found" -le "$maxFindings" ]; do
    part=$logs/campaign-$target$tag.part.log
    "$program" -runs=$((runs - done_runs)) -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/campaign-$target$tag-" "$corpus" "$root/fuzz/corpus/$target" >"$part" 2>&1
    status=$?
    cat "$part" >>"$log"
    executed=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$part" | grep -o '[0-9]*$')
    done_runs=$((done_runs + ${executed:-0}))
    if [ $status -ne 0 ]; then
      found=$((found + 1))
      echo "campaign: $target finding $found (status $status) after $done_runs runs:" \
        "$(grep -o 'Test unit written to .*' "$part" | tail -1)" | tee -a "$log"
      # A run that ends before executing anything would repeat for ever.
      [ "${executed:-0}" -eq 0 ] && break
    fi
  done
  rm -f "$logs/campaign-$target$tag.part.log"
  seconds=$(( $(date +%s) - start ))
  cov=$(grep -Eo '#[0-9]+.*cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | grep -Eo 'cov: [0-9]+ ft: [0-9]+')
  rm -rf "$merged"
  mkdir -p "$merged"
  cp "$root/fuzz/corpus/$target"/* "$merged"/
  # The merge reads a copy of the corpus: a campaign of the same target on
  # the other core still replaces files in it, and a file gone in the middle
  # of a merge makes libFuzzer retry that merge for ever.
  snapshot=$(mktemp -d "$build/fuzz-campaign/$target-snapshot$tag.XXXXXX")
  cp "$corpus"/. "$snapshot"/ -R
  "$program" -merge=1 -timeout=60 -rss_limit_mb=4096 "$merged" "$snapshot" >>"$log" 2>&1
  rm -rf "$snapshot"
  summary="campaign: $target done $(date -u +%FT%TZ): $done_runs runs in ${seconds}s"
  summary="$summary ($((done_runs / (seconds > 0 ? seconds : 1))) exec/s), ${cov:-cov ?}, findings $found,"
  summary="$summary kept corpus $(ls "$corpus" | wc -l) files $(du -sk --apparent-size "$corpus" | cut -f1) KB,"
  summary="$summary merged $(ls "$merged" | wc -l) files $(du -sk --apparent-size "$merged" | cut -f1) KB"
  echo "$summary" | tee -a "$log"
done
