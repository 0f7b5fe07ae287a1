#!/usr/bin/env bash
# Fuzzes every reader of outside text with libFuzzer: builds the fuzz program in build-fuzz
# (clang, address and undefined-behaviour sanitizers), makes seed corpora from the
# simulator's fixtures and exports, then runs each target for a bounded time and prints its
# executions.
#   scripts/fuzz.sh [SECONDS | --smoke]   seconds per target: 60 by default, 3 with --smoke
# Exit status 1 when any target found a crash, a hang, a leak or a failed property; each
# finding is printed with the command that replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
[ "$seconds" = --smoke ] && seconds=3
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS | --smoke]" >&2; exit 2; }

scripts/setup.sh clang libclang-rt-dev
CXX=clang++ cmake -S . -B build-fuzz -DFERROX_FUZZ=ON -DFERROX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target ferrox_fuzz >/dev/null
# The seeds come from the normal build's simulator and programs.
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DFERROX_WERROR=ON -DFERROX_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)" --target sim ferrox tagsmith >/dev/null

work=$root/build-fuzz/run
rm -rf "$work" && mkdir -p "$work/servers" "$work/reports" "$work/parts"
export PATH="$root/build/sim-bin:$PATH"

# ---- seed corpora: data only, made afresh on every run -------------------------------
simgen corvane "$work/servers/c.db" --fixture sim/fixtures/corvane.sql >/dev/null
simgen vandor "$work/servers/v.db" --fixture sim/fixtures/vandor.sql >/dev/null
simgen corvane "$work/servers/g.db" --seed 5 --defects 4 --features 2 --users 6 --parts 3 \
       --revisions 6 --note-size 300 --note-sizes 64000,64001 >/dev/null

# seed TARGET CONTROL: one seed of TARGET, the control byte (two hex digits) then stdin.
seed() {
  mkdir -p "$work/corpus/$1"
  { printf "\\x$2"; cat; } >"$(mktemp -p "$work/corpus/$1" seed.XXXXXX)"
}
# line_seeds TARGET CONTROL FILE: one seed per line of FILE, line end included.
line_seeds() {
  local line
  while IFS= read -r line || [ -n "$line" ]; do printf '%s\n' "$line" | seed "$1" "$2"; done <"$3"
}
# report NAME KIND DB COMMAND...: the client's answer, saved as reports/NAME.
report() {
  local name=$1 variable=CVN_FAMILY
  [ "$2" = vandor ] && variable=VANDOR_FAMILY
  env "$variable=$work/servers/$3" "${@:4}" >"$work/reports/$name"
}
for db in c g; do
  for view in DefectView FeatureView Users PartFullView RevisionView; do
    report "$db-$view" corvane "$db.db" corv Report -raw -view "$view"
  done
  report "$db-defectConfig" corvane "$db.db" corv Defect -configInfo -raw
  report "$db-featureConfig" corvane "$db.db" corv Feature -configInfo -raw
  report "$db-parts" corvane "$db.db" corv Report -general PartFullView -select nupathname
done
for view in DefectView FeatureView Users Fileview committedVersions versions; do
  report "v-$view" vandor v.db Report -raw -view "$view"
done
report v-defectConfig vandor v.db Defect -configInfo -raw
for name in 1001 1002; do
  report "c-note$name" corvane c.db corv defect -view "$name" -long
  report "v-note$name" vandor v.db Defect -view "$name" -long
done
# The generated server's first two notes are 64000 and 64001 bytes long.
report g-note1000 corvane g.db corv defect -view 1000 -long
report g-note1001 corvane g.db corv defect -view 1001 -long
for db in c g; do
  (cd "$work/parts" && mkdir "$db" && cd "$db" &&
   CVN_FAMILY="$work/servers/$db.db" "$root/build/bin/ferrox_cvn" -parts -release R2 >/dev/null)
done

r=$work/reports
for f in "$r"/*View "$r"/*-Users "$r"/*Config "$r"/*-Fileview "$r"/*-committedVersions "$r"/*-versions; do
  seed fields 00 <"$f"
  line_seeds fields 00 "$f"
done
# tracking's control byte: 1 Corvane, 2 to 16 configurable fields, 32 features, 64 -map.
for control in 08 48 28 68; do seed tracking "$control" <"$r/v-DefectView"; done
for control in 09 49 29 69; do seed tracking "$control" <"$r/c-FeatureView"; done
seed tracking 09 <"$r/c-DefectView"
seed tracking 49 <"$r/g-DefectView"
for f in "$r"/*-note*; do seed notes 00 <"$f"; done
for f in "$r"/*-Users; do line_seeds users 00 "$f"; done
for f in "$r"/*-PartFullView "$r"/*-RevisionView "$r/v-versions"; do line_seeds history_rows 00 "$f"; done
line_seeds history_rows 01 "$r/v-Fileview"
line_seeds history_rows 02 "$r/v-committedVersions"
for db in c g; do seed element_import 00 <"$work/parts/$db/partsExport.txt"; done
printf 'R1\nR2\n' | seed specs 00
printf '  R1 | the first\r\n\nR2' | seed specs 00
for db in c g; do
  { cat "$r/$db-parts"; printf 'src/%%\nsrc\\_%% escape '"'"'\\'"'"'\n'; } | seed specs 03
done
while IFS= read -r line; do
  printf '%s' "$line" | tr ' ' '\0' | seed options 00
done <<'EOF'
-defects -map
-defects -nomap -o plain.csv
-features -where state='open'
-users -map
-parts -release R1
-parts -relspec rels.txt -partspec parts.txt -partindex 50 -jobs 4
-parts -release R1 -since 2020/01/01 -workareas -revisionlabels -crlf -target UNIX
-parts -infile partsRawFile000.raw -committedFile c.txt -sidlabels -componentlabels
EOF
saved=("$work/parts/c" "$work/parts/g" tests/windows)
for dir in "${saved[@]}"; do
  for control in 00 01; do
    { cat "$dir/SavedLabelsFile.txt"; printf '\0'; cat "$dir/SavedDirsFile.txt"; } | seed tagsmith "$control"
  done
done
grep -v '^#' tests/windows/hostile-values.txt >"$work/hostile-values"
line_seeds quoting 00 "$work/hostile-values"
echo "Seeds: $(find "$work/corpus" -type f | wc -l)"

# ---- the runs -----------------------------------------------------------------------
program=$root/build-fuzz/fuzz/ferrox_fuzz
passed=0
failed=0
total=0
targets=$("$program")
for target in $targets; do
  ln -f "$program" "$root/build-fuzz/fuzz/fuzz_$target"
  mkdir -p "$work/$target/grown" "$work/$target/cwd" "$work/corpus/$target"
  max_len=()
  [ "$target" = notes ] && max_len=(-max_len=65600)  # past the 64000-byte note limit
  # Each run works in a folder of its own: the file targets write fixed names there.
  if (cd "$work/$target/cwd" &&
      "$root/build-fuzz/fuzz/fuzz_$target" "$work/$target/grown" "$work/corpus/$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${max_len[@]}" \
        -artifact_prefix="$work/$target/" -print_final_stats=1 >"$work/$target.log" 2>&1); then
    passed=$((passed + 1))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
    total=$((total + runs))
    printf '%-14s %10s executions in %ss, corpus %s inputs\n' "$target" "$runs" "$seconds" \
      "$(find "$work/$target/grown" "$work/corpus/$target" -type f | wc -l)"
  else
    failed=$((failed + 1))
    echo "$target: FOUND A FAULT"
    grep -E 'ERROR|property failed|runtime error|SUMMARY' "$work/$target.log" | head -n 8 || true
    for found in "$work/$target"/crash-* "$work/$target"/timeout-* "$work/$target"/leak-* \
                 "$work/$target"/oom-*; do
      [ -e "$found" ] || continue
      echo "  replay: (mkdir -p /tmp/replay && cd /tmp/replay && $root/build-fuzz/fuzz/fuzz_$target $found)"
    done
    echo "  log: $work/$target.log"
  fi
done
echo "Fuzzing: $total executions in all"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
