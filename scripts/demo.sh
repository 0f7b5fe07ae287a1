#!/usr/bin/env bash
# The main job: builds everything, creates a small Corvane and a small Vandor server with
# the bundled simulator, and runs ferrox's exports against each in build/demo/<kind>/,
# a parts export of both releases among them, and tagsmith on its saved files.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
scripts/build.sh >/dev/null

export PATH="$root/build/sim-bin:$PATH"
status=0
for kind in corvane vandor; do
  dir="$root/build/demo/$kind"
  rm -rf "$dir" && mkdir -p "$dir"
  # With the histories that lose lineage: forks no part row marks, clock skew, equal
  # change times and a part made anew; the parts export then checks itself with -verify.
  simgen "$kind" "$dir/server.db" \
         --seed 7 --defects 25 --features 10 --users 12 --parts 6 --revisions 12 \
         --branch-rows 0.5 --skew 0.1 --same-times 0.1 --anew 0.3 >/dev/null
  if [ "$kind" = corvane ]; then
    program="$root/build/bin/ferrox_cvn"; export CVN_FAMILY="$dir/server.db"
  else
    program="$root/build/bin/ferrox_vandor"; export VANDOR_FAMILY="$dir/server.db"
  fi
  cd "$dir"
  # A run needs at least two words after the program name.
  # The value map gives this server's own values their Sabrex names; what it leaves to a
  # fallback is reported.
  printf '%s\n' '# server value -> Sabrex value' 'state|review|Opened' 'severity|5|4-Minor' \
         'symptom|other|Unexpected Behavior' 'priority|normal|3-Normal Queue' > values.map
  runs=("-defects -map" "-defects -nomap -o defectsPlain.txt" "-defects -valuemap values.map -o defectsMapped.txt"
        "-features -map" "-users -map")
  printf 'R1\nR2\n' > releases.txt
  runs+=("-parts -relspec releases.txt" "-parts -relspec releases.txt -verify partsExport.txt")
  for run in "${runs[@]}"; do
    echo "=== $(basename "$program") $run"
    # shellcheck disable=SC2086
    if "$program" $run >"run.log" 2>&1; then
      tail -n 3 run.log | sed '/^$/d'
      if [[ "$run" == *-valuemap* ]]; then
        echo "values left to a fallback (unmappedValues.txt):"
        cat unmappedValues.txt 2>/dev/null || echo "none: every value was mapped"
      fi
    else
      echo "FAILED (status $?):"; tail -n 20 run.log; status=1
    fi
  done
  if [ -f SavedDirsFile.txt ]; then
    echo "=== tagsmith SavedDirsFile.txt SavedLabelsFile.txt labelCommands.bat"
    if "$root/build/bin/tagsmith" SavedDirsFile.txt SavedLabelsFile.txt labelCommands.bat >"run.log" 2>&1; then
      grep -E '^(Number of|The generated)' run.log
    else
      echo "FAILED (status $?):"; tail -n 20 run.log; status=1
    fi
  fi
  cd "$root"
  echo "--- $kind export files in build/demo/$kind:"
  ls -l "$dir" | grep -E 'Export|Plain|Mapped|Saved|labelCommands' || true
done
exit $status
