#!/usr/bin/env bash
# Mutation check (not part of CI): applies each deliberate fault of scripts/mutants.txt in
# turn to a copy of the tree, builds, runs every test, and counts the faults the suite
# catches. A suite that lets a fault through (a survivor) is missing a test that matters.
#
#   scripts/mutants.sh [--list FILE] [--only N,M,...] [--work DIR] [--keep]
#
# The copy is made once (tracked and untracked files that git does not ignore), built
# once in one build folder; then per mutant: apply by exact text replacement, incremental
# build, ctest with a per-test timeout (a hang counts as caught), revert. Results go to
# standard output and to DIR/mutants.log. --only runs the numbered mutants alone (1 is the
# first fault of the list).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/scripts/mutants.txt"
only=""
work=""
keep=0
while (($#)); do
    case "$1" in
        --list) list=$(realpath "$2"); shift 2 ;;
        --only) only=",$2,"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        *) echo "usage: $0 [--list FILE] [--only N,M,...] [--work DIR] [--keep]" >&2; exit 2 ;;
    esac
done
jobs=${MUTANTS_JOBS:-2}
test_timeout=${MUTANTS_TEST_TIMEOUT:-60}

[ -n "$work" ] || work=$(mktemp -d /tmp/ferrox-mutants.XXXXXX)
mkdir -p "$work"
work=$(cd "$work" && pwd)
[ "$keep" = 1 ] || trap 'rm -rf "$work/tree" "$work/build"' EXIT
log="$work/mutants.log"
: >"$log"
say() { echo "$*" | tee -a "$log"; }

# One copy of the tree and one configured build: every mutant is an incremental build.
rm -rf "$work/tree" && mkdir -p "$work/tree"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --no-recursion) |
    tar -xf - -C "$work/tree"
# No -Werror (a fault may warn and still be a fault), no benchmarks, no optimisation: the
# check rebuilds a lot and runs little.
cmake -S "$work/tree" -B "$work/build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
      -DFERROX_WERROR=OFF -DFERROX_BENCH=OFF >"$work/configure.log" 2>&1 ||
    { echo "configure failed: $work/configure.log"; exit 2; }
# Neither reads the list the loop below reads on its standard input.
build() { timeout 1200 cmake --build "$work/build" -j"$jobs" >"$work/build.log" 2>&1 </dev/null; }
run_tests() {
    ctest --test-dir "$work/build" -j"$jobs" --timeout "$test_timeout" --stop-on-failure \
          >"$work/ctest.log" 2>&1 </dev/null
}
build || { echo "the unchanged tree does not build: $work/build.log"; exit 2; }
run_tests || { echo "the unchanged tree fails its tests: $work/ctest.log"; exit 2; }

# apply FILE ORIGINAL REPLACEMENT: exact text replacement of the one occurrence.
apply() {
    python3 - "$@" <<'EOF'
import sys
path, original, replacement = sys.argv[1:4]
try:
    text = open(path, encoding="utf-8").read()
except OSError:
    sys.exit(1)
if text.count(original) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(original, replacement))
EOF
}

killed=0 survived=0 unbuilt=0 unapplied=0 number=0
survivors=()
start=$(date +%s)
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in ''|'#'*) continue ;; esac
    number=$((number + 1))
    [ -z "$only" ] || [[ "$only" == *",$number,"* ]] || continue
    IFS=$'\x1f' read -r path original replacement why < <(
        python3 -c 'import sys; print("\x1f".join(p.strip() for p in sys.argv[1].split("@@")))' "$line")
    file="$work/tree/$path"
    cp -p "$file" "$work/original" 2>/dev/null || { say "#$number did not apply: $path is missing"; unapplied=$((unapplied + 1)); continue; }
    if ! apply "$file" "$original" "$replacement"; then
        say "#$number did not apply: $path ($why)"
        unapplied=$((unapplied + 1))
        continue
    fi
    if ! build; then
        result="did not build"; unbuilt=$((unbuilt + 1))
    elif run_tests; then
        result="SURVIVED"; survived=$((survived + 1)); survivors+=("#$number $path: $why")
    else
        result="killed"; killed=$((killed + 1))
    fi
    say "#$number $result: $path ($why)"
    # The original back, with a fresh time stamp so the next build recompiles it.
    cp "$work/original" "$file" && touch "$file"
done <"$list"

say ""
say "killed $killed / survived $survived / did not build $unbuilt / did not apply $unapplied (of $number mutants, $(($(date +%s) - start)) s)"
if ((${#survivors[@]})); then
    say "survivors:"
    for s in "${survivors[@]}"; do say "  $s"; done
fi
