#!/bin/bash
# Runs each fuzz target for FUZZ_SECONDS, one after the other, and prints per target its runs
# and findings (the inputs libFuzzer saved for crashes, timeouts and out-of-memory).
# usage: run_targets.sh FUZZ_DIR SECONDS TARGET:MAX_LEN ...
# Each target's corpus grows in FUZZ_DIR/corpus/TARGET from FUZZ_DIR/seeds/TARGET; its
# findings land in FUZZ_DIR/findings/TARGET and its log in FUZZ_DIR/logs/TARGET.log.
# The status is 1 when any target has a finding.
set -u
dir=$1 seconds=$2
shift 2
summary=()
found=0
for spec in "$@"; do
  target=${spec%%:*} max_len=${spec#*:}
  mkdir -p "$dir/corpus/$target" "$dir/findings/$target" "$dir/logs" "$dir/seeds/$target"
  log=$dir/logs/$target.log
  echo "=== $target: $seconds s"
  # Each target starts from its own findings folder, so what it saves is from this run.
  rm -f "$dir/findings/$target"/*
  "$dir/bin/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/findings/$target/" \
    "$dir/corpus/$target" "$dir/seeds/$target" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -n1 | tr -d '#')
  files=$(find "$dir/findings/$target" -type f | sort)
  count=$(printf '%s' "$files" | grep -c . || true)
  line="$target: runs ${runs:-?}, findings $count, exit $status"
  if [ "$count" -gt 0 ] || [ "$status" -ne 0 ]; then
    found=1
    grep -m3 -E '^==[0-9]+==ERROR|^SUMMARY|deadly signal|ALARM' "$log" | sed 's/^/  /'
    for f in $files; do line+=$'\n'"  $f"; done
    line+=$'\n'"  log: $log"
  fi
  echo "$line"
  summary+=("$line")
done
echo "=== fuzz summary ($seconds s each)"
printf '%s\n' "${summary[@]}"
exit $found
