#!/usr/bin/env bash
# Whether the kept corpora are saturated: for each fuzz target, the coverage
# its kept corpus gives on replay against the coverage a fresh run from an
# empty corpus reaches in VARNEL_SATURATION_SECONDS (60), with the target's
# dictionary and value profiling. A fresh run that covers more means the
# campaign should run longer. Run by hand, after fuzz/campaign.sh:
#
#   fuzz/saturation.sh [TARGET...]      (default: every target in fuzz/dict/TARGETS)
#
# Uses the campaign's build (VARNEL_CAMPAIGN_BUILD, default build/campaign).
# Runs two targets at a time; exit 1 when a fresh run covered more.
set -euo pipefail
cd "$(dirname "$0")/.."
source fuzz/common.sh
seconds=${VARNEL_SATURATION_SECONDS:-60}
build=${VARNEL_CAMPAIGN_BUILD:-build/campaign}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < <(fuzz_targets)
for name in "${targets[@]}"; do
  [ -x "$build/fuzz/$name" ] || { echo "no $build/fuzz/$name: run fuzz/campaign.sh first" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# fresh NAME: a run from an empty corpus, its log in $work/NAME.fresh.
fresh() {
  local name=$1 dict
  dict=$(fuzz_dict "$name")
  mkdir -p "$work/$name"
  "$build/fuzz/$name" -max_total_time="$seconds" -use_value_profile=1 ${dict:+-dict="$dict"} \
    "$work/$name" >"$work/$name.fresh" 2>&1 || true
}
cov() { grep -Eo 'cov: [0-9]+' "$1" | tail -1 | cut -d' ' -f2; }

for ((i = 0; i < ${#targets[@]}; i += 2)); do
  fresh "${targets[i]}" &
  [ $((i + 1)) -lt ${#targets[@]} ] && fresh "${targets[i + 1]}" &
  wait
done

status=0
printf '%-22s %10s %10s  %s\n' target kept fresh verdict
for name in "${targets[@]}"; do
  "$build/fuzz/$name" -runs=0 "fuzz/corpus/$name" >"$work/$name.replay" 2>&1
  kept=$(cov "$work/$name.replay")
  new=$(cov "$work/$name.fresh")
  verdict=saturated
  if [ "${new:-0}" -gt "${kept:-0}" ]; then
    verdict="fresh run covers more"
    status=1
  fi
  printf '%-22s %10s %10s  %s\n' "$name" "$kept" "$new" "$verdict"
done
exit $status
