#!/usr/bin/env bash
# The cost of the journal an export keeps for -resume: the parts export of bench/parts.sh
# (default 5,000 parts x 20 revisions of a Corvane server, both releases) and the defect
# export of bench/defects.sh (default 20,000 defects with 2 KB notes), each run with its
# journal and with the journal blocked (a folder in its place: the run warns and keeps
# none), alternating which goes first; the ratio of each pair is taken.
# Usage: bench/journal.sh [build folder (default: build)] [runs (default: 5)] [parts (default: 5000)]
#                         [defects (default: 20000)]
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

work="$(mktemp -d "${TMPDIR:-/tmp}/journal-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
export PATH="$simbin:$PATH"
unset SIM_LOG SIM_FAIL SIM_DELAY SIM_DELAY_MS
printf 'R1\nR2\n' > rel.txt
"$simbin/simgen" corvane parts.db --parts "$parts" --revisions 20 --releases 2 --seed 3 > /dev/null
"$simbin/simgen" corvane defects.db --defects "$defects" --note-size 2048 > /dev/null

# One export in a fresh folder, with the journal (kept) or blocked: "<wall seconds>".
run() {
  local blocked=$1 db=$2
  shift 2
  export CVN_FAMILY="$db"
  timed_run sh -c '[ "$0" = 0 ] || mkdir ferrox.journal; exec "$@"' "$blocked" "$ferrox" "$@" | awk '{print $1}'
  grep -q "Export File Name" "$work/last.console" || { echo "ferrox failed" >&2; tail -5 "$work/last.console" >&2; exit 1; }
}

for export in parts defects; do
  if [ "$export" = parts ]; then db=$work/parts.db; args=(-parts -relspec "$work/rel.txt"); else db=$work/defects.db; args=(-defects -map); fi
  ratios=()
  for i in $(seq "$runs"); do
    if (( i % 2 )); then
      with=$(run 0 "$db" "${args[@]}"); without=$(run 1 "$db" "${args[@]}")
    else
      without=$(run 1 "$db" "${args[@]}"); with=$(run 0 "$db" "${args[@]}")
    fi
    ratios+=("$(ratio "$with" "$without")")
    printf '%s run %d: with the journal %.2f s, without %.2f s, ratio %.3f\n' "$export" "$i" "$with" "$without" \
      "${ratios[-1]}"
  done
  printf '%s: median ratio %.3f (goal: at most 1.03)\n' "$export" "$(median "${ratios[@]}")"
done
