#!/usr/bin/env bash
# Large inputs stay bounded: ferrox_cvn on a note of 1 GB, a raw report line of 100 MB, a
# part with 1,000,000 revisions and a release specification of 10,000 names. Prints each
# run's status, last message, time and peak memory (maximum resident set size).
#
#   scripts/large-inputs.sh [build-dir] [revisions]     # defaults: build 1000000
#
# Not part of CI: it takes a few minutes and about 2 GB of disk in a scratch folder under
# /tmp, removed at the end. The two server answers too large for the simulator's database
# (the note, the long line) come from a stand-in client script that streams them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
revisions=${2:-1000000}
ferrox=$build/bin/ferrox_cvn
[ -x "$ferrox" ] && [ -x "$build/sim-bin/simgen" ] || { echo "build first: cmake --build $build"; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)"; exit 2; }
work=$(mktemp -d /tmp/ferrox-large.XXXXXX)
trap 'rm -rf "$work"' EXIT

# run NAME ARGS...: one run of ferrox_cvn in its own folder $work/NAME (made by the caller).
run() {
  local name=$1 status=0 secs kb
  shift
  (cd "$work/$name" && /usr/bin/time -f '%e %M' -o ../"$name".time "$ferrox" "$@" >../"$name".out 2>&1) ||
    status=$?
  read -r secs kb < <(tail -n 1 "$work/$name.time")
  # The last message of the run: the closing line, or the error and its cause.
  printf '%-10s status %3d %8.1f s  peak %5d MB  %s\n' "$name" "$status" "$secs" $((kb / 1024)) \
    "$(grep -a 'ERROR\|Note size\|Export File Name\|sh: ' "$work/$name.out" | tail -n 2 | tr -d '\t' |
      cut -c1-100 | paste -sd '|')"
}

# A stand-in Corvane client: one defect whose long view is 1 GB, and a Users report whose
# one line is 100 MB.
mkdir -p "$work/stub" "$work/note" "$work/line"
cat >"$work/stub/corv" <<'EOF'
#!/bin/sh
case "$*" in
  "report -testServer") exit 0 ;;
  "Report -raw -view DefectView -where 1=1 order by name") echo "d|1001|ui|R1|asmith|open||2|a 1 GB note" ;;
  "defect -view 1001 -long") head -c 1000000000 /dev/zero | tr '\0' n ;;
  "Report -raw -view Users -where 1=1 and dropDate is null") head -c 100000000 /dev/zero | tr '\0' u ;;
  *) echo "corv: unknown command: $*" >&2; exit 2 ;;
esac
EOF
chmod +x "$work/stub/corv"
PATH="$work/stub:$PATH" CVN_FAMILY=stub run note -defects -map
PATH="$work/stub:$PATH" CVN_FAMILY=stub run line -users -map

# The simulator for the rest.
export PATH="$build/sim-bin:$PATH"
mkdir -p "$work/revisions" "$work/releases"
"$build/sim-bin/simgen" corvane "$work/revisions.db" --parts 1 --revisions "$revisions" --releases 1
CVN_FAMILY=$work/revisions.db run revisions -parts -release R1
"$build/sim-bin/simgen" corvane "$work/releases.db" --fixture sim/fixtures/corvane.sql
{ echo R1; echo R2; seq -f 'Release-%05g' 1 9998; } >"$work/releases/rels.txt"
CVN_FAMILY=$work/releases.db run releases -parts -relspec rels.txt
