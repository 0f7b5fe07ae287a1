#!/usr/bin/env bash
# A parts export of a generated Corvane server (default 5,000 parts of 20 revisions, some
# branched, in two releases, both exported): ferrox's wall time against its floor, the
# simulated client answering the very same command lines run one after another from a
# shell script, measured in the same run; and ferrox's own peak memory at 5,000 parts and
# at four times as many, to show that a part's history is let go of after the part.
# Usage: bench/parts.sh [build folder (default: build)] [runs (default: 5)] [parts (default: 5000)]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
parts="${3:-5000}"
large=$((parts * 4))
ferrox="$(cd "$build/bin" && pwd)/ferrox_cvn"   # its name picks the server kind: no realpath
simbin="$(realpath "$build/sim-bin")"
[ -x "$ferrox" ] || { echo "no $ferrox: build the ferrox target first" >&2; exit 1; }
[ -x "$simbin/simgen" ] || { echo "no $simbin/simgen: build the sim target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: install the Debian package 'time'" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/parts-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
export PATH="$simbin:$PATH"
unset SIM_LOG SIM_FAIL SIM_DELAY SIM_DELAY_MS
printf 'R1\nR2\n' > rel.txt

"$simbin/simgen" corvane parts.db --parts "$parts" --revisions 20 --releases 2 --seed 3 > /dev/null
"$simbin/simgen" corvane large.db --parts "$large" --revisions 20 --releases 2 --seed 3 > /dev/null

# The floor: the command lines ferrox runs, in its order, with its redirections and its
# quoting, rebuilt from what the client received in one logged run (the part list query,
# one RevisionView report per part into the file of its place in a batch of 64, and any
# SID lookup of a branch point).
mkdir logged
(cd logged && cp ../rel.txt . && CVN_FAMILY="$work/parts.db" SIM_LOG="$work/calls.log" "$ferrox" -parts -relspec rel.txt > console)
grep -q "Export File Name: partsExport.txt" logged/console || { echo "ferrox failed" >&2; tail -20 logged/console >&2; exit 1; }
awk '
  function quoted(text) { gsub(/\047/, "\047\\\047\047", text); return "\047" text "\047" }
  function condition(line) { return substr(line, index(line, " -where ") + 8) }
  /^corv report -testServer/ { print "corv report -testServer > /dev/null"; next }
  /^corv Report -general PartFullView / {
    printf "corv  Report -general PartFullView   -select \"nupathname,releasename,workareaname, " \
           "userlogin,revisionname,lastupdate, fmode,sourceid\" -where %s >partsRawFile000.raw\n", quoted(condition($0)); next }
  /^corv Report -general RevisionView / {
    printf "corv Report -general RevisionView  -select " \
           "\"nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid\" -where %s>revTmpFile%03d.out\n",
           quoted(condition($0)), reports++ % 64; next }
  /^cvnselect / { printf "cvnselect %s > tmpsid000.raw\n", quoted(substr($0, 11)); next }
  { print "unexpected client call: " $0 > "/dev/stderr"; exit 1 }
' calls.log > floor.sh
echo "parts: $parts x 20 revisions ($large for the second memory figure); floor script: $(wc -l < floor.sh) command lines"

# Runs ferrox on server $1 in a fresh folder, timed by /usr/bin/time (wall, and the CPU
# seconds of ferrox and every process it ran); its own peak resident memory (VmHWM) is
# sampled from /proc while it runs, so the client processes it starts do not count.
# Prints "<wall seconds> <cpu seconds> <peak kB>".
run_ferrox() {
  local db="$1" dir hwm=0 v pid
  dir="$(mktemp -d "$work/run.XXXXXX")"
  cp rel.txt "$dir"
  (cd "$dir" && CVN_FAMILY="$db" /usr/bin/time -f '%e %U %S' -o "$dir/wall" "$ferrox" -parts -relspec rel.txt > "$dir/console") &
  local shell_pid=$!
  sleep 0.05
  pid=$(pgrep -f -n "^$ferrox -parts -relspec" || true)
  while kill -0 "$shell_pid" 2> /dev/null; do
    if [ -n "$pid" ]; then
      v=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2> /dev/null || true)
      [ -n "$v" ] && hwm=$v
    else
      pid=$(pgrep -f -n "^$ferrox -parts -relspec" || true)
    fi
    sleep 0.5
  done
  wait "$shell_pid"
  grep -q "Export File Name: partsExport.txt" "$dir/console" || { echo "ferrox failed" >&2; exit 1; }
  echo "$(awk '{print $1, $2 + $3}' "$dir/wall") $hwm"
  rm -rf "$dir"
}

# The floor script in a fresh folder; prints "<wall seconds> <cpu seconds>".
run_floor() {
  local dir
  dir="$(mktemp -d "$work/floor.XXXXXX")"
  (cd "$dir" && CVN_FAMILY="$work/parts.db" /usr/bin/time -f '%e %U %S' -o "$dir/wall" sh "$work/floor.sh")
  awk '{print $1, $2 + $3}' "$dir/wall"
  rm -rf "$dir"
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
    "$run" "$f_wall" "$f_cpu" "$f_rss" "$s_wall" "$s_cpu" "$(echo "$f_wall / $s_wall" | bc -l)" \
    "$(echo "$f_cpu / $s_cpu" | bc -l)"
  f_walls+=("$f_wall"); s_walls+=("$s_wall"); f_cpus+=("$f_cpu"); s_cpus+=("$s_cpu")
  ratios+=("$(echo "$f_wall / $s_wall" | bc -l)")
  (( f_rss > f_peak )) && f_peak=$f_rss
done
read -r _ _ large_rss < <(run_ferrox "$work/large.db")

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
f_med=$(median "${f_walls[@]}"); s_med=$(median "${s_walls[@]}")
f_best=$(best "${f_walls[@]}"); s_best=$(best "${s_walls[@]}")
printf 'median: ferrox %.2f s, floor %.2f s, ratio %.3f\n' "$f_med" "$s_med" "$(echo "$f_med / $s_med" | bc -l)"
printf 'best:   ferrox %.2f s, floor %.2f s, ratio %.3f\n' "$f_best" "$s_best" "$(echo "$f_best / $s_best" | bc -l)"
printf 'pairs:  median of the run ratios %.3f (goal: at most 1.05)\n' "$(median "${ratios[@]}")"
f_cmed=$(median "${f_cpus[@]}"); s_cmed=$(median "${s_cpus[@]}")
printf 'cpu:    ferrox %.2f s, floor %.2f s, ratio %.3f (medians)\n' "$f_cmed" "$s_cmed" "$(echo "$f_cmed / $s_cmed" | bc -l)"
printf 'ferrox peak memory: %d kB with %d parts, %d kB with %d parts (%+.1f %%; goal: within 10 %%)\n' \
  "$f_peak" "$parts" "$large_rss" "$large" "$(echo "($large_rss - $f_peak) * 100 / $f_peak" | bc -l)"
