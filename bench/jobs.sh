#!/usr/bin/env bash
# -jobs: a defect export of a generated Corvane server (default 20,000 defects) at
# -jobs 1, 2, 4, 8 and 16, each as a ratio to the sequential client floor (the very same
# command lines run one after another from a shell script) measured in the same run;
# once with a delay on every client call standing in for network latency and once
# without; and ferrox's own peak memory at each -jobs for two server sizes.
# Usage: bench/jobs.sh [build folder (default: build)] [defects (default: 20000)]
#                      [delay ms (default: 20)] [jobs (default: "1 2 4 8 16")]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
defects="${2:-20000}"
delay="${3:-20}"
jobs_list="${4:-1 2 4 8 16}"
small=$((defects / 4))
ferrox="$(cd "$build/bin" && pwd)/ferrox_cvn"   # its name picks the server kind: no realpath
simbin="$(realpath "$build/sim-bin")"
[ -x "$ferrox" ] || { echo "no $ferrox: build the ferrox target first" >&2; exit 1; }
[ -x "$simbin/simgen" ] || { echo "no $simbin/simgen: build the sim target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: install the Debian package 'time'" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/jobs-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
source bench/lib.sh
export PATH="$simbin:$PATH"
unset SIM_LOG SIM_FAIL SIM_DELAY SIM_DELAY_MS

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
echo "defects: $defects (and $small for memory); $(wc -l < "$work/floor.sh") client calls; jobs: $jobs_list"

for latency in "$delay" 0; do
  if [ "$latency" -gt 0 ]; then export SIM_DELAY=. SIM_DELAY_MS="$latency"; else unset SIM_DELAY SIM_DELAY_MS; fi
  # Once to warm the caches, once measured.
  CVN_FAMILY="$work/large.db" timed_run sh "$work/floor.sh" > /dev/null
  read -r floor _ _ < <(CVN_FAMILY="$work/large.db" timed_run sh "$work/floor.sh")
  printf '\nlatency %d ms per call: floor %.2f s\n' "$latency" "$floor"
  for n in $jobs_list; do
    read -r wall _ peak < <(CVN_FAMILY="$work/large.db" timed_run "$ferrox" -defects -map -jobs "$n")
    grep -q "Export File Name: defectsExport.txt" "$work/last.console" || { echo "ferrox failed" >&2; exit 1; }
    read -r _ _ smallPeak < <(CVN_FAMILY="$work/small.db" timed_run "$ferrox" -defects -map -jobs "$n")
    printf '  -jobs %-2d %8.2f s  ratio %.3f   peak %d kB (%d kB with %d defects)\n' \
      "$n" "$wall" "$(ratio "$wall" "$floor")" "$peak" "$smallPeak" "$small"
  done
done
echo
echo "goals: with latency, -jobs 8 at most 0.2 of the floor; without it, on 2 cores, -jobs 2 at most 0.65"
