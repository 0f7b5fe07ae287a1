#!/usr/bin/env bash
# A defect export of a generated Corvane server (default 20,000 defects with 2 KB notes):
# ferrox's wall time against its floor, the simulated client answering the very same
# command lines run one after another from a shell script, measured in the same run;
# and ferrox's own peak memory at two server sizes, to show it does not grow with the
# number of records.
# Usage: bench/defects.sh [build folder (default: build)] [runs (default: 3)] [defects (default: 20000)]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-3}"
defects="${3:-20000}"
small=$((defects / 4))
ferrox="$(cd "$build/bin" && pwd)/ferrox_cvn"   # its name picks the server kind: no realpath
simbin="$(realpath "$build/sim-bin")"
source bench/lib.sh
[ -x "$ferrox" ] || { echo "no $ferrox: build the ferrox target first" >&2; exit 1; }
[ -x "$simbin/simgen" ] || { echo "no $simbin/simgen: build the sim target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: install the Debian package 'time'" >&2; exit 1; }

enter_bench_folder defects

"$simbin/simgen" corvane large.db --defects "$defects" --note-size 2048 > /dev/null
"$simbin/simgen" corvane small.db --defects "$small" --note-size 2048 > /dev/null

# The floor: the command lines ferrox runs, in its order, with its redirections and its
# quoting of the record name (a single quote inside a name becomes '\'').
CVN_FAMILY="$work/large.db" corv Report -raw -view DefectView -where "1=1 order by name" > names.raw
{
  echo 'corv report -testServer > /dev/null'
  echo 'corv Report -raw -view DefectView -where "1=1 order by name" >defectRawFile000.raw'
  awk -F'|' '{
    name = $2; sub(/^ +/, "", name); gsub(/\047/, "\047\\\047\047", name)
    printf "corv defect -view \047%s\047 -long > \047defect%s.out\047\n", name, name
  }' names.raw
} > floor.sh
echo "defects: $defects ($small for the second memory figure); floor script: $(wc -l < floor.sh) command lines"

# Runs ferrox on server $1 in a fresh folder, timed by /usr/bin/time (wall, and the CPU
# seconds of ferrox and every process it ran); its own peak resident memory (VmHWM) is
# sampled from /proc while it runs, so the client processes it starts do not count.
# Prints "<wall seconds> <cpu seconds> <peak kB>".
run_ferrox() {
  local db="$1" dir hwm=0 v pid
  dir="$(mktemp -d "$work/run.XXXXXX")"
  (cd "$dir" && CVN_FAMILY="$db" /usr/bin/time -f '%e %U %S' -o "$dir/wall" "$ferrox" -defects -map > "$dir/console") &
  local shell_pid=$!
  sleep 0.05
  pid=$(pgrep -f -n "^$ferrox -defects -map" || true)
  while kill -0 "$shell_pid" 2> /dev/null; do
    if [ -n "$pid" ]; then
      v=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2> /dev/null || true)
      [ -n "$v" ] && hwm=$v
    else
      pid=$(pgrep -f -n "^$ferrox -defects -map" || true)
    fi
    sleep 0.5
  done
  wait "$shell_pid"
  grep -q "Export File Name: defectsExport.txt" "$dir/console" || { echo "ferrox failed" >&2; exit 1; }
  echo "$(awk '{print $1, $2 + $3}' "$dir/wall") $hwm"
  rm -rf "$dir"
}

# The floor script in a fresh folder; prints "<wall seconds> <cpu seconds>".
run_floor() {
  local dir
  dir="$(mktemp -d "$work/floor.XXXXXX")"
  (cd "$dir" && CVN_FAMILY="$work/large.db" /usr/bin/time -f '%e %U %S' -o "$dir/wall" sh "$work/floor.sh")
  awk '{print $1, $2 + $3}' "$dir/wall"
  rm -rf "$dir"
}

# The machine may be shared: the two alternate which goes first, and the CPU seconds,
# which other load disturbs less than the wall time, are shown beside it.
f_walls=(); s_walls=(); f_cpus=(); s_cpus=(); f_peak=0
for run in $(seq "$runs"); do
  if (( run % 2 )); then
    read -r f_wall f_cpu f_rss < <(run_ferrox "$work/large.db")
    read -r s_wall s_cpu < <(run_floor)
  else
    read -r s_wall s_cpu < <(run_floor)
    read -r f_wall f_cpu f_rss < <(run_ferrox "$work/large.db")
  fi
  printf 'run %d: ferrox %.2f s (cpu %.2f s), peak %d kB | floor script %.2f s (cpu %.2f s) | ratio %.3f (cpu %.3f)\n' \
    "$run" "$f_wall" "$f_cpu" "$f_rss" "$s_wall" "$s_cpu" "$(echo "$f_wall / $s_wall" | bc -l)" \
    "$(echo "$f_cpu / $s_cpu" | bc -l)"
  f_walls+=("$f_wall"); s_walls+=("$s_wall"); f_cpus+=("$f_cpu"); s_cpus+=("$s_cpu")
  (( f_rss > f_peak )) && f_peak=$f_rss
done
read -r _ _ small_rss < <(run_ferrox "$work/small.db")

f_med=$(median "${f_walls[@]}"); s_med=$(median "${s_walls[@]}")
f_best=$(best "${f_walls[@]}"); s_best=$(best "${s_walls[@]}")
printf 'median: ferrox %.2f s, floor %.2f s, ratio %.3f\n' "$f_med" "$s_med" "$(echo "$f_med / $s_med" | bc -l)"
printf 'best:   ferrox %.2f s, floor %.2f s, ratio %.3f (goal: at most 1.05)\n' \
  "$f_best" "$s_best" "$(echo "$f_best / $s_best" | bc -l)"
f_cmed=$(median "${f_cpus[@]}"); s_cmed=$(median "${s_cpus[@]}")
printf 'cpu:    ferrox %.2f s, floor %.2f s, ratio %.3f (medians)\n' "$f_cmed" "$s_cmed" "$(echo "$f_cmed / $s_cmed" | bc -l)"
printf 'ferrox peak memory: %d kB with %d defects, %d kB with %d defects\n' \
  "$f_peak" "$defects" "$small_rss" "$small"
