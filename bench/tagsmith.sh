#!/usr/bin/env bash
# tagsmith on 1,000 directories x 2,000 labels (2 million commands): wall time and peak
# memory, against `cat` writing a file of the same size in the same run.
# Usage: bench/tagsmith.sh [build folder (default: build)] [runs (default: 5)]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
tagsmith="$(realpath "$build/bin/tagsmith")"
[ -x "$tagsmith" ] || { echo "no $tagsmith: build the tagsmith target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: install the Debian package 'time'" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/tagsmith-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

# Saved files in the form a parts export leaves them: blocks around length-prefixed values.
awk 'BEGIN {
  print "DIR_BEGIN"; print "DirName 1:."; print "DIR_END"
  for (i = 1; i < 1000; i++) {
    d = sprintf("src/module%03d/sub%02d", i % 250, i % 7)
    if (i % 97 == 0) d = d " docs"          # a few directories that need quotes
    printf "DIR_BEGIN\nDirName %d:%s\nDIR_END\n", length(d), d
  }
}' > SavedDirsFile.txt
awk 'BEGIN {
  print "EXPORT_FORMAT 5"; print "GLOBALS_BEGIN"; print "GLOBALS_END"; print "TYPES_BEGIN"
  for (i = 0; i < 2000; i++) {
    l = (i % 2) ? sprintf("CVN-DRIVER-wa%04d", i) : sprintf("CVN-RELEASE-R%d.%d", i / 10, i % 10)
    printf "LBTYPE_BEGIN\nLbType %d:%s\nLBTYPE_END\n", length(l), l
  }
  print "TYPES_END"
}' > SavedLabelsFile.txt

now() { date +%s.%N; }
# Runs a command under /usr/bin/time -v, its standard output into the file named first;
# prints "<wall seconds> <peak RSS kB>".
measure() {
  local out="$1" start end
  shift
  start=$(now)
  /usr/bin/time -v -o time.log "$@" > "$out"
  end=$(now)
  echo "$(echo "$end - $start" | bc -l) $(awk -F': ' '/Maximum resident set size/ {print $2}' time.log)"
}

"$tagsmith" SavedDirsFile.txt SavedLabelsFile.txt labels.cmd > /dev/null   # warm-up; also the size reference
commands=$(grep -c '^sbxcmd' labels.cmd)
bytes=$(stat -c %s labels.cmd)
cp labels.cmd reference.cmd
echo "commands: $commands, command file: $bytes bytes"

t_walls=(); c_walls=(); t_peak=0
for run in $(seq "$runs"); do
  rm -f labels.cmd cat.cmd
  read -r t_wall t_rss < <(measure console.log "$tagsmith" SavedDirsFile.txt SavedLabelsFile.txt labels.cmd)
  cmp -s labels.cmd reference.cmd || { echo "run $run: command file differs" >&2; exit 1; }
  read -r c_wall c_rss < <(measure cat.cmd cat reference.cmd)
  printf 'run %d: tagsmith %.3f s, peak %d kB | cat %.3f s, peak %d kB | ratio %.2f\n' \
    "$run" "$t_wall" "$t_rss" "$c_wall" "$c_rss" "$(echo "$t_wall / $c_wall" | bc -l)"
  t_walls+=("$t_wall"); c_walls+=("$c_wall")
  (( t_rss > t_peak )) && t_peak=$t_rss
done
# The machine may be shared: the median and the best of the runs say more than one run.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
t_med=$(median "${t_walls[@]}"); c_med=$(median "${c_walls[@]}")
t_best=$(best "${t_walls[@]}"); c_best=$(best "${c_walls[@]}")
printf 'median: tagsmith %.3f s, cat %.3f s, ratio %.2f\n' "$t_med" "$c_med" "$(echo "$t_med / $c_med" | bc -l)"
printf 'best:   tagsmith %.3f s, cat %.3f s, ratio %.2f (goal: at most 1.5)\n' \
  "$t_best" "$c_best" "$(echo "$t_best / $c_best" | bc -l)"
printf 'tagsmith peak memory: %d kB\n' "$t_peak"
