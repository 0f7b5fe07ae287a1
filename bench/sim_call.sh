#!/bin/sh
# Cost of one call of the simulated server client, against starting /bin/true in the
# same run: ferrox starts one client process per server command, so this is the price
# of every report, long view and lookup in the end-to-end tests and the demo.
#
# usage: bench/sim_call.sh [build-dir] [calls]
set -eu
build=${1:-$(dirname "$0")/../build}
calls=${2:-300}
bin=$(cd "$build/sim-bin" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source_dir=$(cd "$(dirname "$0")/.." && pwd)

"$bin/simgen" corvane "$work/fixture.db" --fixture "$source_dir/sim/fixtures/corvane.sql"
"$bin/simgen" corvane "$work/big.db" --defects 20000 --note-size 2048 --parts 200 --revisions 50

now_us() { echo $(( $(date +%s%N) / 1000 )); }

# Microseconds spent running the command line `count` times through the shell.
spent() {
    start=$(now_us)
    i=0
    while [ $i -lt "$2" ]; do
        eval "$1" >/dev/null
        i=$((i + 1))
    done
    echo $(( $(now_us) - start ))
}

# The machine is shared, so the baseline is measured in the same rounds as the command:
# ten alternating chunks of each, the cost per call printed for both.
report() {
    chunk=$((calls / 10))
    base=0
    cost=0
    round=0
    while [ $round -lt 10 ]; do
        base=$((base + $(spent /bin/true $chunk)))
        cost=$((cost + $(spent "$2" $chunk)))
        round=$((round + 1))
    done
    base=$((base / (chunk * 10)))
    cost=$((cost / (chunk * 10)))
    printf '%-52s %6d us  /bin/true %6d us  difference %6d us\n' "$1" $cost $base $((cost - base))
}

PATH=$bin:$PATH
export PATH
CVN_FAMILY=$work/fixture.db
export CVN_FAMILY
report "fixture: corv report -testServer" "corv report -testServer"
report "fixture: DefectView raw report (3 rows)" "corv Report -raw -view DefectView -where '1=1 order by name'"
report "fixture: defect long view" "corv defect -view 1001 -long"
report "fixture: cvnselect SID lookup" "cvnselect \"sid,releasename from versions where revisionname='2.1.1' and sourceid in (select oid from revisionview where revisionname='2.1.1' and nupathname='src/main.c')\""
CVN_FAMILY=$work/big.db
report "20,000 defects: defect long view (2 KB)" "corv defect -view 11234 -long"
report "200 parts x 50 revisions: RevisionView of one part" "corv Report -general RevisionView -select 'nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid' -where \"nupathname = (select min(nupathname) from RevisionView) order by changeDate desc\""
SIM_LOG=$work/sim.log
export SIM_LOG
report "20,000 defects: long view with SIM_LOG set" "corv defect -view 11234 -long"
