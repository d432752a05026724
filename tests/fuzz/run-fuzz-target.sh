#!/usr/bin/env bash
# Runs one fuzz target for a bounded time from its seed corpus. Inputs it
# finds new go to WORK/corpus, a crashing or hanging input to WORK/artifacts;
# the seeds are only read. Any crash, hang, sanitizer report or leftover
# artifact fails the run.
#
#   run-fuzz-target.sh TARGET SEED_FOLDER WORK SECONDS INPUT_TIMEOUT
set -euo pipefail
target=${1:?fuzz target} seeds=${2:?seed corpus} work=${3:?work folder}
seconds=${4:?seconds} input_timeout=${5:?seconds per input}
[[ -d $seeds ]] || { echo "no seed corpus at $seeds" >&2; exit 1; }
rm -rf "$work/artifacts"
mkdir -p "$work/corpus" "$work/artifacts"
status=0
"$target" -max_total_time="$seconds" -timeout="$input_timeout" -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" || status=$?
if ((status != 0)) || [[ -n $(ls -A "$work/artifacts") ]]; then
  echo "fuzzing $(basename "$target") failed (exit $status); inputs kept in $work/artifacts:" >&2
  ls -l "$work/artifacts" >&2
  exit 1
fi
