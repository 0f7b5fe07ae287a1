#!/usr/bin/env bash
# -jobs: a defect export of a generated Corvane server (default 20,000 defects) and a
# parts export of a generated server of each kind (default 5,000 parts of 20 revisions,
# both releases) at -jobs 1, 2, 4, 8 and 16, each as a ratio to the sequential client
# floor (the very same command lines run one after another from a shell script) measured
# in the same run; once with a delay on every client call standing in for network latency
# and once without; and ferrox's own peak memory at each -jobs for two server sizes.
# Usage: bench/jobs.sh [build folder (default: build)] [defects (default: 20000)]
#                      [delay ms (default: 20)] [jobs (default: "1 2 4 8 16")]
#                      [exports (default: "defects parts-corvane parts-vandor")] [parts (default: 5000)]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
defects="${2:-20000}"
delay="${3:-20}"
jobs_list="${4:-1 2 4 8 16}"
exports="${5:-defects parts-corvane parts-vandor}"
parts="${6:-5000}"
simbin="$(realpath "$build/sim-bin")"
[ -x "$simbin/simgen" ] || { echo "no $simbin/simgen: build the sim target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: install the Debian package 'time'" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/jobs-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
source bench/lib.sh
export PATH="$simbin:$PATH"
unset SIM_LOG SIM_FAIL SIM_DELAY SIM_DELAY_MS

# For the latency $delay and none: the floor script $4 on server $2, then program $1 with
# the arguments after the fourth and -jobs N on server $2 and, for its memory, on server
# $3; family variable $family; a run must name $done in its console.
jobs_table() {
  local program="$1" large="$2" small="$3" floor="$4" floorWall wall peak smallPeak latency n
  shift 4
  for latency in "$delay" 0; do
    if [ "$latency" -gt 0 ]; then export SIM_DELAY=. SIM_DELAY_MS="$latency"; else unset SIM_DELAY SIM_DELAY_MS; fi
    export "$family=$large"
    # Once to warm the caches, once measured.
    timed_run sh "$floor" > /dev/null
    read -r floorWall _ _ < <(timed_run sh "$floor")
    printf '\nlatency %d ms per call: floor %.2f s\n' "$latency" "$floorWall"
    for n in $jobs_list; do
      read -r wall _ peak < <(export "$family=$large"; timed_run "$program" "$@" -jobs "$n")
      grep -q "Export File Name: $done" "$work/last.console" || { echo "ferrox failed" >&2; exit 1; }
      read -r _ _ smallPeak < <(export "$family=$small"; timed_run "$program" "$@" -jobs "$n")
      printf '  -jobs %-2d %8.2f s  ratio %.3f   peak %d kB (%d kB on the smaller server)\n' \
        "$n" "$wall" "$(ratio "$wall" "$floorWall")" "$peak" "$smallPeak"
    done
  done
}

for export_kind in $exports; do
  if [ "$export_kind" = defects ]; then
    small=$((defects / 4))
    family=CVN_FAMILY done=defectsExport.txt
    "$simbin/simgen" corvane "$work/large.db" --defects "$defects" --note-size 2048 > /dev/null
    "$simbin/simgen" corvane "$work/small.db" --defects "$small" --note-size 2048 > /dev/null
    # The floor: the command lines ferrox runs, in its order, with its redirections and its
    # quoting (a single quote inside a name becomes '\'').
    CVN_FAMILY="$work/large.db" corv Report -raw -view DefectView -where "1=1 order by name" > "$work/names.raw"
    {
      echo 'corv report -testServer > /dev/null'
      echo "corv Report -raw -view DefectView -where '1=1 order by name' >defectRawFile000.raw"
      awk -F'|' '{
        name = $2; sub(/^ +/, "", name); gsub(/\047/, "\047\\\047\047", name)
        printf "corv defect -view \047%s\047 -long > \047defect%s.out\047\n", name, name
      }' "$work/names.raw"
    } > "$work/floor.sh"
    printf '\n=== defects: %d (and %d for memory); %d client calls; jobs: %s\n' \
      "$defects" "$small" "$(wc -l < "$work/floor.sh")" "$jobs_list"
    jobs_table "$(kind_program corvane "$build")" "$work/large.db" "$work/small.db" "$work/floor.sh" -defects -map
  else
    kind="${export_kind#parts-}"
    small=$((parts / 4))
    family="$(kind_family "$kind")" done=partsExport.txt
    program="$(kind_program "$kind" "$build")"
    printf 'R1\nR2\n' > "$work/rel.txt"
    "$simbin/simgen" "$kind" "$work/large.db" --parts "$parts" --revisions 20 --releases 2 --seed 3 > /dev/null
    "$simbin/simgen" "$kind" "$work/small.db" --parts "$small" --revisions 20 --releases 2 --seed 3 > /dev/null
    # The floor: the lines of a logged run without -jobs.
    mkdir -p "$work/logged" && rm -f "$work/calls.log"
    (cd "$work/logged" && env "$family=$work/large.db" SIM_LOG="$work/calls.log" "$program" -parts -relspec "$work/rel.txt" > console)
    parts_floor "$kind" "$work/calls.log" > "$work/floor.sh"
    printf '\n=== %s parts: %d x 20 revisions (and %d for memory); %d client calls; jobs: %s\n' \
      "$kind" "$parts" "$small" "$(wc -l < "$work/floor.sh")" "$jobs_list"
    jobs_table "$program" "$work/large.db" "$work/small.db" "$work/floor.sh" -parts -relspec "$work/rel.txt"
  fi
done
echo
echo "goals: with latency, -jobs 8 at most 0.2 of the floor; without it, on 2 cores, -jobs 2 at most 0.65"
