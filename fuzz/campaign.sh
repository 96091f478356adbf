#!/usr/bin/env bash
# The long fuzzing campaign, run by hand (not in CI). For each fuzz target:
# fuzz under ASan+UBSan with value profiling and the target's dictionary
# until it has run VARNEL_CAMPAIGN_RUNS inputs or VARNEL_CAMPAIGN_SECONDS
# have passed, then minimise the kept corpus with what was found (-merge=1)
# and print executions, coverage and the corpus files the run added.
#
#   fuzz/campaign.sh [TARGET...]      (default: every target in fuzz/dict/TARGETS)
#
# Settings (environment): VARNEL_CAMPAIGN_RUNS (10000000),
# VARNEL_CAMPAIGN_SECONDS (7200), VARNEL_CAMPAIGN_BUILD (build/campaign).
# Each target runs as one process; run it niced on a shared machine. A
# SIGUSR1 to a target's process ends its run early, and what it found is
# still merged ("hand" in the stop column).
# A crash stops the campaign with the reproducer's path: make it a unit test
# where the broken rule lives, mend the fault, and keep the input in the
# corpus as regress-<what it found>, a name every later merge keeps.
set -euo pipefail
cd "$(dirname "$0")/.."
source fuzz/common.sh
runs=${VARNEL_CAMPAIGN_RUNS:-10000000}
seconds=${VARNEL_CAMPAIGN_SECONDS:-7200}
build=${VARNEL_CAMPAIGN_BUILD:-build/campaign}
# A kept corpus holds at least this many files; the merge may keep fewer.
min_files=20

# Debug keeps the assertions; -O1 (as OSS-Fuzz builds) runs two to six
# times as many inputs per second as -O0.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DVARNEL_WITH_QT=OFF -DVARNEL_SANITIZE=ON \
  -DVARNEL_FUZZ=ON -DVARNEL_BENCH=OFF >/dev/null
targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < <(fuzz_targets)
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

printf '%-22s %12s %8s %8s %8s %6s\n' target executions cov files new stop
for name in "${targets[@]}"; do
  target="$build/fuzz/$name"
  corpus="fuzz/corpus/$name"
  dict=$(fuzz_dict "$name")
  work="$build/campaign/$name"
  rm -rf "$work" "$work.merged"
  mkdir -p "$work" "$work.merged" "$corpus"
  start=$SECONDS
  "$target" -runs="$runs" -max_total_time="$seconds" -use_value_profile=1 ${dict:+-dict="$dict"} \
    -print_final_stats=1 -artifact_prefix="$work/" "$work" "$corpus" >"$work.log" 2>&1 || {
    tail -40 "$work.log"
    echo "$name: crashed; the reproducer is $(ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null | head -1)"
    exit 1
  }
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work.log" | tail -1)
  cov=$(grep -Eo 'cov: [0-9]+' "$work.log" | tail -1 | cut -d' ' -f2)
  # Why the run ended: its run count, its time, or a SIGUSR1 by hand (which
  # ends libFuzzer gracefully, so what it found is still merged).
  stop=hand
  [ "${executions:-0}" -ge "$runs" ] && stop=runs
  [ $((SECONDS - start)) -ge "$seconds" ] && stop=time

  # Minimise: the old corpus and the new finds into a fresh folder.
  "$target" -merge=1 "$work.merged" "$corpus" "$work" >"$work.merge.log" 2>&1
  old=$(cd "$corpus" && find . -type f -exec sha1sum {} + | cut -d' ' -f1 | sort)
  new=0
  for f in "$work.merged"/*; do
    grep -qx "$(sha1sum "$f" | cut -d' ' -f1)" <<<"$old" || new=$((new + 1))
  done
  # Inputs that once found a fault stay under their names, whatever the
  # merge made of them.
  for f in "$corpus"/regress-*; do
    [ -e "$f" ] || continue
    rm -f "$work.merged/$(sha1sum "$f" | cut -d' ' -f1)"
    cp "$f" "$work.merged/"
  done
  # Seeds the merge dropped go back while the corpus is short of min_files.
  kept=$(cd "$work.merged" && find . -type f -exec sha1sum {} + | cut -d' ' -f1 | sort)
  for f in "$corpus"/*; do
    [ "$(find "$work.merged" -type f | wc -l)" -ge "$min_files" ] && break
    grep -qx "$(sha1sum "$f" | cut -d' ' -f1)" <<<"$kept" || cp "$f" "$work.merged/"
  done
  rm -rf "$corpus"
  mv "$work.merged" "$corpus"
  printf '%-22s %12s %8s %8s %8s %6s\n' "$name" "${executions:-?}" "${cov:-?}" \
    "$(find "$corpus" -type f | wc -l)" "$new" "$stop"
done
echo "corpus total: $(cat fuzz/corpus/*/* | wc -c) bytes"
