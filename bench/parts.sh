#!/usr/bin/env bash
# A parts export of a generated server (default 5,000 parts of 20 revisions, some
# branched, in two releases, both exported) of either kind: ferrox's wall time against
# its floor, the simulated client answering the very same command lines run one after
# another from a shell script, measured in the same run; and ferrox's own peak memory at
# 5,000 parts and at four times as many, to show that a part's history is let go of after
# the part.
# Usage: bench/parts.sh [build folder (default: build)] [runs (default: 5)] [parts (default: 5000)]
#                       [kind: corvane or vandor (default: corvane)]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
parts="${3:-5000}"
kind="${4:-corvane}"
large=$((parts * 4))
source bench/lib.sh
ferrox="$(kind_program "$kind" "$build")"
family="$(kind_family "$kind")"
simbin="$(realpath "$build/sim-bin")"
[ -x "$ferrox" ] || { echo "no $ferrox: build the ferrox target first" >&2; exit 1; }
[ -x "$simbin/simgen" ] || { echo "no $simbin/simgen: build the sim target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: install the Debian package 'time'" >&2; exit 1; }

enter_bench_folder parts
printf 'R1\nR2\n' > rel.txt

"$simbin/simgen" "$kind" parts.db --parts "$parts" --revisions 20 --releases 2 --seed 3 > /dev/null
"$simbin/simgen" "$kind" large.db --parts "$large" --revisions 20 --releases 2 --seed 3 > /dev/null

mkdir logged
(cd logged && env "$family=$work/parts.db" SIM_LOG="$work/calls.log" "$ferrox" -parts -relspec "$work/rel.txt" > console)
grep -q "Export File Name: partsExport.txt" logged/console || { echo "ferrox failed" >&2; tail -20 logged/console >&2; exit 1; }
parts_floor "$kind" calls.log > floor.sh
echo "$kind parts: $parts x 20 revisions ($large for the second memory figure); floor script: $(wc -l < floor.sh) command lines"

# ferrox on server $1: "<wall seconds> <cpu seconds> <peak kB>" (each runs in a subshell:
# the family variable it sets goes with it).
run_ferrox() {
  local figures
  export "$family=$1"
  figures="$(timed_run "$ferrox" -parts -relspec "$work/rel.txt")"
  # Checked before the figures go out: the next run writes the same console file.
  grep -q "Export File Name: partsExport.txt" "$work/last.console" || { echo "ferrox failed" >&2; exit 1; }
  echo "$figures"
}
# The floor script: "<wall seconds> <cpu seconds>".
run_floor() {
  export "$family=$work/parts.db"
  timed_run sh "$work/floor.sh" | awk '{print $1, $2}'
}

# The machine may be shared: the two alternate which goes first, the ratio of each pair
# (run back to back, under much the same load) is kept, and the CPU seconds, which other
# load disturbs less than the wall time, are shown beside it.
f_walls=(); s_walls=(); f_cpus=(); s_cpus=(); ratios=(); f_peak=0
for run in $(seq "$runs"); do
  if (( run % 2 )); then
    read -r f_wall f_cpu f_rss < <(run_ferrox "$work/parts.db")
    read -r s_wall s_cpu < <(run_floor)
  else
    read -r s_wall s_cpu < <(run_floor)
    read -r f_wall f_cpu f_rss < <(run_ferrox "$work/parts.db")
  fi
  printf 'run %d: ferrox %.2f s (cpu %.2f s), peak %d kB | floor script %.2f s (cpu %.2f s) | ratio %.3f (cpu %.3f)\n' \
    "$run" "$f_wall" "$f_cpu" "$f_rss" "$s_wall" "$s_cpu" "$(ratio "$f_wall" "$s_wall")" "$(ratio "$f_cpu" "$s_cpu")"
  f_walls+=("$f_wall"); s_walls+=("$s_wall"); f_cpus+=("$f_cpu"); s_cpus+=("$s_cpu")
  ratios+=("$(ratio "$f_wall" "$s_wall")")
  (( f_rss > f_peak )) && f_peak=$f_rss
done
read -r _ _ large_rss < <(run_ferrox "$work/large.db")

f_med=$(median "${f_walls[@]}"); s_med=$(median "${s_walls[@]}")
f_best=$(best "${f_walls[@]}"); s_best=$(best "${s_walls[@]}")
printf 'median: ferrox %.2f s, floor %.2f s, ratio %.3f\n' "$f_med" "$s_med" "$(ratio "$f_med" "$s_med")"
printf 'best:   ferrox %.2f s, floor %.2f s, ratio %.3f\n' "$f_best" "$s_best" "$(ratio "$f_best" "$s_best")"
printf 'pairs:  median of the run ratios %.3f (goal: at most 1.05)\n' "$(median "${ratios[@]}")"
f_cmed=$(median "${f_cpus[@]}"); s_cmed=$(median "${s_cpus[@]}")
printf 'cpu:    ferrox %.2f s, floor %.2f s, ratio %.3f (medians)\n' "$f_cmed" "$s_cmed" "$(ratio "$f_cmed" "$s_cmed")"
printf 'ferrox peak memory: %d kB with %d parts, %d kB with %d parts (%+.1f %%; goal: within 10 %%)\n' \
  "$f_peak" "$parts" "$large_rss" "$large" "$(echo "($large_rss - $f_peak) * 100 / $f_peak" | bc -l)"
