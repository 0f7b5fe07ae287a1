#!/usr/bin/env bash
# The cost of the journal an export keeps for -resume: the parts export of bench/parts.sh
# (default 5,000 parts x 20 revisions of a Corvane server, both releases) and the defect
# export of bench/defects.sh (default 20,000 defects with 2 KB notes), each run with its
# journal and with the journal blocked (a folder in its place: the run warns and keeps
# none), alternating which goes first: the ratio of each pair's wall times, and the
# journal's own cost, ferrox's CPU time with it less without it, against the wall time.
# Usage: bench/journal.sh [build folder (default: build)] [runs (default: 5)] [parts (default: 5000)]
#                         [defects (default: 20000)]; 0 parts or defects leaves that export out.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
parts="${3:-5000}"
defects="${4:-20000}"
source bench/lib.sh
ferrox="$(kind_program corvane "$build")"
simbin="$(realpath "$build/sim-bin")"
[ -x "$ferrox" ] || { echo "no $ferrox: build the ferrox target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: install the Debian package 'time'" >&2; exit 1; }
command -v perf > /dev/null || { echo "perf is missing: install the Debian package 'linux-perf'" >&2; exit 1; }

enter_bench_folder journal
printf 'R1\nR2\n' > rel.txt
(( parts == 0 )) || "$simbin/simgen" corvane parts.db --parts "$parts" --revisions 20 --releases 2 --seed 3 > /dev/null
(( defects == 0 )) || "$simbin/simgen" corvane defects.db --defects "$defects" --note-size 2048 > /dev/null

# One export in a fresh folder, with the journal (kept) or blocked: "<wall seconds> <ferrox's own
# CPU milliseconds>". The journal's work is ferrox's own (its clients' is not): the CPU time
# of the process alone (perf stat --no-inherit), which the load of other work disturbs far
# less than the wall time, shows it.
run() {
  local blocked=$1 db=$2 wall
  shift 2
  export CVN_FAMILY="$db"
  wall=$(timed_run sh -c '[ "$0" = 0 ] || mkdir ferrox.journal; exec perf stat --no-inherit -x, -e task-clock -o "$@"' \
           "$blocked" "$work/perf.txt" "$ferrox" "$@" | awk '{print $1}')
  grep -q "Export File Name" "$work/last.console" || { echo "ferrox failed" >&2; tail -5 "$work/last.console" >&2; exit 1; }
  echo "$wall $(awk -F, '/task-clock/ {print $1}' "$work/perf.txt")"
}

exports=()
if (( parts > 0 )); then exports+=(parts); fi
if (( defects > 0 )); then exports+=(defects); fi
for export in "${exports[@]}"; do
  if [ "$export" = parts ]; then db=$work/parts.db; args=(-parts -relspec "$work/rel.txt"); else db=$work/defects.db; args=(-defects -map); fi
  ratios=(); walls=(); cpus_with=(); cpus_without=()
  for i in $(seq "$runs"); do
    if (( i % 2 )); then
      read -r with cpu_with < <(run 0 "$db" "${args[@]}"); read -r without cpu_without < <(run 1 "$db" "${args[@]}")
    else
      read -r without cpu_without < <(run 1 "$db" "${args[@]}"); read -r with cpu_with < <(run 0 "$db" "${args[@]}")
    fi
    ratios+=("$(ratio "$with" "$without")"); walls+=("$without"); cpus_with+=("$cpu_with"); cpus_without+=("$cpu_without")
    printf '%s run %d: with the journal %.2f s (ferrox %.0f ms cpu), without %.2f s (%.0f ms), ratio %.3f\n' "$export" \
      "$i" "$with" "$cpu_with" "$without" "$cpu_without" "${ratios[-1]}"
  done
  cw=$(median "${cpus_with[@]}"); co=$(median "${cpus_without[@]}"); wall=$(median "${walls[@]}")
  printf '%s: wall ratio %.3f (median of the pairs); ferrox cpu %.0f ms with, %.0f ms without the journal:\n' \
    "$export" "$(median "${ratios[@]}")" "$cw" "$co"
  printf '%s: the journal costs %.2f %% of the %.2f s wall time (goal: at most 3 %%)\n' "$export" \
    "$(echo "($cw - $co) / 10 / $wall" | bc -l)" "$wall"
done
