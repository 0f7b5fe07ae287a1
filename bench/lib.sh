# Shared by the whole-program benchmarks: timing a command with its peak memory, medians.
# Sourced; expects "$work" to be a scratch folder.

# Runs "$@" in a fresh folder under $work, timed by /usr/bin/time (wall, and the CPU
# seconds of the command and every process it ran); the peak resident memory (VmHWM) of
# the first process only (not the clients it starts) is sampled from /proc while it runs.
# Prints "<wall seconds> <cpu seconds> <peak kB>"; the console goes to $work/last.console.
timed_run() {
  local dir hwm=0 v
  dir="$(mktemp -d "$work/run.XXXXXX")"
  (cd "$dir" && exec /usr/bin/time -f '%e %U %S' -o "$dir/wall" "$@" > "$work/last.console" 2>&1) &
  local pid=$!
  # The subshell became /usr/bin/time, whose only child is the program.
  local child=""
  while kill -0 "$pid" 2> /dev/null; do
    [ -z "$child" ] && child=$(pgrep -P "$pid" 2> /dev/null | head -1 || true)
    if [ -n "$child" ]; then
      v=$(awk '/^VmHWM/ {print $2}' "/proc/$child/status" 2> /dev/null || true)
      [ -n "$v" ] && hwm=$v
    fi
    sleep 0.05
  done
  wait "$pid" || true
  echo "$(awk '{print $1, $2 + $3}' "$dir/wall") $hwm"
  rm -rf "$dir"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
ratio() { echo "$1 / $2" | bc -l; }

# The floor of a parts export of server kind $1 (corvane or vandor): the command lines
# ferrox ran in a -jobs 1 run, in its order, with its redirections and its quoting,
# rebuilt from the client's call log $2 (the part list query, per part the reports into
# the files of its place in a batch of 64, batches taking turns between two sets of
# files, and any SID or release lookup); to stdout.
parts_floor() {
  awk -v kind="$1" '
    function quoted(text) { gsub(/\047/, "\047\\\047\047", text); return "\047" text "\047" }
    function condition(line) { return substr(line, index(line, " -where ") + 8) }
    /^corv report -testServer/ || /^Report -testServer/ { print $1 " " $2 " " $3 " > /dev/null"; next }
    kind == "corvane" && /^corv Report -general PartFullView / {
      printf "corv  Report -general PartFullView   -select \"nupathname,releasename,workareaname, " \
             "userlogin,revisionname,lastupdate, fmode,sourceid\" -where %s >partsRawFile000.raw\n", quoted(condition($0)); next }
    kind == "corvane" && /^corv Report -general RevisionView / {
      printf "corv Report -general RevisionView  -select " \
             "\"nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid\" -where %s>revTmpFile%03d.out\n",
             quoted(condition($0)), reports++ % 128; next }
    kind == "corvane" && /^cvnselect / { printf "cvnselect %s > tmpsid000.raw\n", quoted(substr($0, 11)); next }
    kind == "vandor" && /^Report -general Fileview -select pathname,/ {
      printf "Report -general Fileview -select pathname,releasename,versionsid,versionid,compname,adddate," \
             "lastupdate,fmode  -where %s >partsRawFile000.raw\n", quoted(condition($0)); next }
    kind == "vandor" && /^Report -general committedVersions / {
      printf "Report -general committedVersions  -select \"pathname,releasename,sid, versionid,changedate," \
             "levelname,commitdate\"  -where %s > vandorCommittedfile%03d.raw\n", quoted(condition($0)), committed++ % 128; next }
    kind == "vandor" && /^Report -general versions / {
      printf "Report -general versions  -select \"sid,id,previousid,changedate\"  -where %s>verTmpFile%03d.out\n",
             quoted(condition($0)), versions++ % 128; next }
    kind == "vandor" && /^Report -general Fileview -select releasename / {
      printf "Report -general Fileview -select releasename -where %s > tmprel000.raw\n", quoted(condition($0)); next }
    { print "unexpected client call: " $0 > "/dev/stderr"; exit 1 }
  ' "$2"
}

# The program of server kind $1 in build folder $2 (its name picks the kind: no realpath)
# and the name of the kind's family variable.
kind_program() { echo "$(cd "$2/bin" && pwd)/$([ "$1" = vandor ] && echo ferrox_vandor || echo ferrox_cvn)"; }
kind_family() { [ "$1" = vandor ] && echo VANDOR_FAMILY || echo CVN_FAMILY; }

# Makes a fresh folder for the benchmark named $1 (removed at exit) the current one, with
# the simulated client of $simbin first on PATH and none of its fault or delay variables set.
enter_bench_folder() {
  work="$(mktemp -d "${TMPDIR:-/tmp}/$1-bench.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
  cd "$work"
  export PATH="$simbin:$PATH"
  unset SIM_LOG SIM_FAIL SIM_DELAY SIM_DELAY_MS
}
