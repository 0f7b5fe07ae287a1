#!/usr/bin/env bash
# The Windows end-to-end check. Runs the Windows programs (ferrox_cvn.exe, ferrox_vandor.exe,
# tagsmith.exe) under wine, in a fresh prefix, with cmd.exe as their command interpreter and a
# Windows build of the simulated client as the server, and compares each run with the same
# run of the Linux programs: exit status, console text and every file the run leaves (CR LF
# line ends on Windows aside), and the client's call log; -jobs 4 against the same run
# without it. Then the hostile values of tests/windows/hostile-values.txt through cmd.exe's
# quoting (-where conditions, record names, tagsmith's labels and directories, part paths
# and the extract commands written for them), with a canary, and the interrupts (Ctrl-C,
# Ctrl-Break, a closing console, also during a -jobs 4 run). Installs wine64 when it is missing,
# fetches SQLite's amalgamation for the client, cross-builds what it needs. Ends with
# "N passed, M failed" and a non-zero status on any difference.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

quiet() {  # runs a command, showing its output only when it fails
  local log status
  log=$(mktemp)
  "$@" >"$log" 2>&1
  status=$?
  ((status == 0)) || cat "$log" >&2
  rm -f "$log"
  return $status
}

# --- Tools and builds -------------------------------------------------------------------
set -e
scripts/setup.sh
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [ ! -x "$wine" ]; then
  echo "Installing: wine64"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends wine64 >/dev/null
fi
amalgamation=$(scripts/fetch-sqlite.sh)
echo "Building the Linux and the Windows programs and simulated clients"
quiet cmake -S . -B build -DFERROX_WERROR=ON -DFERROX_BENCH=ON   # as scripts/build.sh
quiet cmake --build build -j2 --target ferrox tagsmith sim
quiet cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DFERROX_WERROR=ON \
      -DFERROX_TESTS=OFF -DFERROX_SQLITE_AMALGAMATION="$amalgamation"
quiet cmake --build build-win -j2 --target ferrox tagsmith sim
console_event=build-win/check/console-event.exe
run_lines=build-win/check/run-lines.exe
for helper in console-event run-lines; do
  if [ ! "build-win/check/$helper.exe" -nt "scripts/windows/$helper.cpp" ]; then
    mkdir -p build-win/check
    quiet x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -static \
          -o "build-win/check/$helper.exe" "scripts/windows/$helper.cpp"
  fi
done
set +e

work=$root/build-wincheck
rm -rf "$work" && mkdir -p "$work"/{linux,windows,servers,tools}
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# A fresh prefix; no display, and none of the Mono or Gecko installers it would offer.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap '"$wineserver" -k 2>/dev/null' EXIT
echo "Creating a fresh wine prefix"
quiet "$wine" wineboot --init || { echo "wineboot failed"; exit 1; }

# tagsmith's command file runs sbxcmd; the simulated client logs any name it is called by.
cp build-win/sim-bin/simclient.exe "$work/tools/sbxcmd.exe"
ln -f build/sim-bin/simclient "$work/tools/sbxcmd"
linux_path="$root/build/bin:$root/build/sim-bin:$work/tools:$PATH"
windows_path="$(winpath "$root/build-win/bin");$(winpath "$root/build-win/sim-bin");$(winpath "$work/tools")"
export FERROX_CANARY=leaked

passed=0
failed=0
check() {  # check TITLE COMMAND...: one counted result
  local title=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $title"
  fi
}
# The Windows file is the Linux one with CR LF line ends.
same_text() {
  if cmp -s <(perl -pe 's/\n/\r\n/' "$1") "$2"; then return 0; fi
  diff <(perl -pe 's/\n/\r\n/' "$1") "$2" | cat -A | head -n 12
  return 1
}
# An element import file records the folder it was exported from, which is each run's own
# (Z:\... under wine), and the exporting user's primary group, which each system looks up
# in its own accounts (wine's answer is Windows' "None" for a standalone user). Both are
# replaced, the folder only where it is the run's very folder, so a wrong one still shows.
without_origin() {  # without_origin FOLDER FILE
  FOLDER=$1 perl -pe 's/^ExportFromDir \d+:\Q$ENV{FOLDER}\E(\r?)$/ExportFromDir {FOLDER}$1/;
                      s/^EventGroup \d+:.*?(\r?)$/EventGroup {GROUP}$1/' "$2"
}
same_lines() {  # same_lines EXPECTED_TEXT FILE (read once: it may be a pipe)
  local actual
  actual=$(cat "$2" 2>/dev/null)
  if [ "$1" == "$actual" ]; then return 0; fi
  diff <(printf '%s\n' "$1") <(printf '%s\n' "$actual") | head -n 12
  return 1
}

# --- Servers ----------------------------------------------------------------------------
simgen=build/sim-bin/simgen
for kind in corvane vandor; do
  $simgen $kind "$work/servers/$kind-fixture.db" --fixture sim/fixtures/$kind.sql >/dev/null
  $simgen $kind "$work/servers/$kind-generated.db" --seed 7 --defects 25 --features 10 --users 12 \
          --parts 40 --revisions 5 >/dev/null
done
family_of() { [ "$1" = corvane ] && echo CVN_FAMILY || echo VANDOR_FAMILY; }

# run_pair ID KIND DB START ENV PROGRAM ARGS...: the same run on Linux and under wine, in
# linux/ID and windows/ID. START "cmd" starts the Windows program through cmd.exe, as a
# user types it; "direct" hands wine the arguments as they are (values cmd.exe would need
# quoted for). ENV is "-" or VAR=VALUE for the client.
run_pair() {
  local id=$1 kind=$2 db=$3 start=$4 env=$5 program=$6
  shift 6
  local family linux=$work/linux/$id windows=$work/windows/$id word
  family=$(family_of "$kind")
  mkdir -p "$linux" "$windows"
  printf '%s\n' "$*" | tee "$linux/command" >"$windows/command"
  # A word that names a file of tests/windows brings that file along (CR LF on Windows).
  for word in "$@"; do
    [[ $word == *.txt && -f tests/windows/$word ]] || continue
    cp "tests/windows/$word" "$linux/"
    perl -pe 's/\n/\r\n/' "tests/windows/$word" >"$windows/$word"
  done
  local -a extra=()
  [ "$env" != - ] && extra=("$env")
  (cd "$linux" && env PATH="$linux_path" "$family=$db" SIM_LOG="$linux/sim.log" "${extra[@]}" \
     "$program" "$@" >console.txt 2>&1; echo $? >status)
  local -a windows_start=("$wine" "$program.exe")
  [ "$start" = cmd ] && windows_start=("$wine" cmd /c "$program.exe")
  on_wine "$windows" console.txt env WINEPATH="$windows_path" "$family=$(winpath "$db")" \
    SIM_LOG="$(winpath "$windows/sim.log")" "${extra[@]}" "${windows_start[@]}" "$@"
}
# on_wine DIR OUTPUT COMMAND...: runs COMMAND in DIR, its output into OUTPUT and its exit
# status into DIR/status. On a loaded machine wine's cmd now and then fails to start a
# program it has found, and then says it cannot recognise it as a command: such a run goes
# once more from the files it started with, and is listed at the end. A fault of ferrox's
# own that makes cmd say so fails the second time as well.
on_wine() {
  local dir=$1 output=$2 before
  shift 2
  before=$(ls "$dir")
  (cd "$dir" && "$@" >"$output" 2>&1; echo $? >status)
  grep -q "as an internal or external command" "$dir/$output" || return 0
  retried+=("${dir#"$work/"}")
  (cd "$dir" && ls | grep -vxF "$before" | xargs -r -d '\n' rm -rf)
  (cd "$dir" && "$@" >"$output" 2>&1; echo $? >status)
}
retried=()
# Everything both runs left must agree: status, console, call log, each file.
compare_pair() {
  local id=$1 linux=$work/linux/$1 windows=$work/windows/$1 file
  compare_status_console "$id"
  check "$id: the client's calls" cmp -s <(calls "$linux") <(calls "$windows")
  check "$id: the files left behind" cmp -s <(ls "$linux") <(ls "$windows")
  for file in $(ls "$linux"); do
    # A journal records the server by its path, which differs by nature.
    case $file in command | console.txt | sim.log | status | ferrox.journal) continue ;; esac
    check "$id: $file" same_text <(without_origin "$linux" "$linux/$file") \
                                 <(without_origin "$(winpath "$windows")" "$windows/$file")
  done
}
# The client's call log. With -jobs the calls overlap and their order is not fixed: the
# log is compared sorted (the client locks it while it appends, as wine does not make an
# append-only write land whole at the end).
calls() {
  if grep -q -- '-jobs' "$1/command" 2>/dev/null; then LC_ALL=C sort "$1/sim.log"; else cat "$1/sim.log"; fi 2>/dev/null
}

compare_status_console() {
  local id=$1 linux=$work/linux/$1 windows=$work/windows/$1
  check "$id: exit status ($(cat "$linux/status") on Linux)" cmp -s "$linux/status" "$windows/status"
  check "$id: console" same_text "$linux/console.txt" "$windows/console.txt"
}
# Processes of this prefix that still run a client or its cmd.exe.
clients_left() {
  local pid
  for pid in $(pgrep -f -- 'corv|cmd\.exe'); do
    [[ $(ps -o stat= -p "$pid") == Z* ]] && continue
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

# --- The runs ---------------------------------------------------------------------------
# Each row: id | server | client environment | command | files the run must leave
parts_files="partsExport.txt SavedLabelsFile.txt SavedDirsFile.txt partsRawFile000.raw"
runs=(
  "cvn-connect      | corvane fixture   | -                          | ferrox_cvn -o conn.txt         |"
  "cvn-no-server    | corvane fixture   | SIM_FAIL=testServer        | ferrox_cvn -o conn.txt         |"
  "cvn-defects-map  | corvane fixture   | -                          | ferrox_cvn -defects -map       | defectsExport.txt"
  "cvn-defects-nomap| corvane fixture   | -                          | ferrox_cvn -defects -nomap     | defectsExport.txt"
  "cvn-features-map | corvane fixture   | -                          | ferrox_cvn -features -map      | featuresExport.txt"
  "cvn-features-nomap| corvane fixture  | -                          | ferrox_cvn -features -nomap -o f.txt | f.txt"
  "cvn-users        | corvane fixture   | -                          | ferrox_cvn -users -map         | usersExport.txt"
  "cvn-note-fails   | corvane fixture   | SIM_FAIL=defect.-view.1002 | ferrox_cvn -defects -map       | defectsExport.txt"
  "cvn-generated    | corvane generated | -                          | ferrox_cvn -defects -nomap     | defectsExport.txt"
  "cvn-parts        | corvane fixture   | -                          | ferrox_cvn -parts -release R1  | $parts_files"
  "cvn-parts-spec   | corvane fixture   | -                          | ferrox_cvn -parts -relspec releases.txt -partspec parts.txt -partindex 2 -workareas | $parts_files"
  "cvn-parts-unix   | corvane fixture   | -                          | ferrox_cvn -parts -release R2 -target UNIX -crlf -revisionlabels | $parts_files"
  "cvn-parts-generated | corvane generated | -                     | ferrox_cvn -parts -relspec releases.txt | $parts_files"
  "cvn-parts-jobs4  | corvane generated | -                          | ferrox_cvn -parts -relspec releases.txt -jobs 4 | $parts_files"
  "cvn-defects-jobs4| corvane generated | -                          | ferrox_cvn -defects -nomap -jobs 4 | defectsExport.txt"
  "vdr-connect      | vandor fixture    | -                          | ferrox_vandor -o conn.txt      |"
  "vdr-no-server    | vandor fixture    | SIM_FAIL=testServer        | ferrox_vandor -o conn.txt      |"
  "vdr-defects-map  | vandor fixture    | -                          | ferrox_vandor -defects -map    | defectsExport.txt"
  "vdr-defects-nomap| vandor fixture    | -                          | ferrox_vandor -defects -nomap  | defectsExport.txt"
  "vdr-features-map | vandor fixture    | -                          | ferrox_vandor -features -map   | featuresExport.txt"
  "vdr-features-nomap| vandor fixture   | -                          | ferrox_vandor -features -nomap | featuresExport.txt"
  "vdr-users        | vandor generated  | -                          | ferrox_vandor -users -map      | usersExport.txt"
  "vdr-no-config    | vandor fixture    | SIM_FAIL=configInfo        | ferrox_vandor -defects -nomap  |"
  "vdr-generated    | vandor generated  | -                          | ferrox_vandor -features -nomap | featuresExport.txt"
  "vdr-parts        | vandor fixture    | -                          | ferrox_vandor -parts -release R1 | $parts_files"
  "vdr-parts-spec   | vandor fixture    | -                          | ferrox_vandor -parts -relspec releases.txt -partspec parts.txt -partindex 2 -sidlabels -componentlabels | $parts_files"
  "vdr-parts-generated | vandor generated | -                       | ferrox_vandor -parts -release R2 -sidlabels | $parts_files"
  "vdr-parts-jobs4  | vandor generated  | -                          | ferrox_vandor -parts -release R2 -sidlabels -jobs 4 | $parts_files"
)
echo "Exports: ${#runs[@]} runs on Linux and under wine"
unchecked=()
for row in "${runs[@]}"; do
  IFS='|' read -r id server env command must <<<"$row"
  read -r id <<<"$id"; read -r kind name <<<"$server"; read -r env <<<"$env"
  read -r -a words <<<"$command"
  run_pair "$id" "$kind" "$work/servers/$kind-$name.db" cmd "$env" "${words[@]}"
  for file in $must; do check "$id: writes $file" test -s "$work/linux/$id/$file"; done
  compare_pair "$id"
done

# -jobs 4 under wine: the export files and the console of the run without it, byte for byte.
# Each row: run with -jobs 4 | the same run without
jobs_runs=(
  "cvn-defects-jobs4 | cvn-generated"
  "cvn-parts-jobs4   | cvn-parts-generated"
  "vdr-parts-jobs4   | vdr-parts-generated"
)
for row in "${jobs_runs[@]}"; do
  IFS='|' read -r id like <<<"$row"
  read -r id <<<"$id"; read -r like <<<"$like"
  with=$work/windows/$id without=$work/windows/$like
  check "$id: the files of $like" cmp -s <(ls "$with") <(ls "$without")
  for file in $(ls "$without"); do
    case $file in command | sim.log) continue ;; esac
    check "$id: $file as $like's" cmp -s <(without_origin "$(winpath "$with")" "$with/$file") \
                                          <(without_origin "$(winpath "$without")" "$without/$file")
  done
  check "$id: the calls of $like" cmp -s <(calls "$with") <(LC_ALL=C sort "$without/sim.log")
done

# tagsmith on the saved labels and directories files of a parts run above (each side its
# own), or on the hand-written pair in tests/windows (CR LF for Windows, as ferrox writes).
# Each row: id | parts run or folder the saved files come from
tagsmith_runs=(
  "tagsmith-written | tests/windows"
  "tagsmith-cvn     | cvn-parts-spec"
  "tagsmith-vdr     | vdr-parts-spec"
)
for row in "${tagsmith_runs[@]}"; do
  IFS='|' read -r id from <<<"$row"
  read -r id <<<"$id"; read -r from <<<"$from"
  for side in linux windows; do
    mkdir -p "$work/$side/$id"
    for f in SavedLabelsFile.txt SavedDirsFile.txt; do
      if [ ! -d "$from" ]; then
        cp "$work/$side/$from/$f" "$work/$side/$id/"
      elif [ $side = linux ]; then
        cp "$from/$f" "$work/$side/$id/"
      else
        perl -pe 's/\n/\r\n/' "$from/$f" >"$work/$side/$id/$f"
      fi
    done
  done
  run_pair "$id" corvane - cmd - tagsmith SavedDirsFile.txt SavedLabelsFile.txt labelCommands.bat
  check "$id: writes labelCommands.bat" test -s "$work/linux/$id/labelCommands.bat"
  compare_pair "$id"
done

# --- Hostile values through the interpreter ---------------------------------------------
values=()
while IFS= read -r value; do
  [[ -z $value || $value == \#* ]] || values+=("$value")
done <tests/windows/hostile-values.txt
beyond_ascii() { LC_ALL=C grep -q '[^[:print:][:space:]]' <<<"$1"; }
echo "Hostile values: ${#values[@]}, as -where conditions, record names, labels, directories and part paths"

# As a -where condition, one run each; the value sits in an SQL string. Arguments reach a
# Windows program in its ANSI code page, as typed into its console, so values beyond ASCII
# are checked as record names and labels, whose bytes come from the server and a file.
for i in "${!values[@]}"; do
  value=${values[$i]}
  beyond_ascii "$value" && continue
  condition="login <> '${value//\'/\'\'}'"
  id=where-$i
  run_pair "$id" corvane "$work/servers/corvane-fixture.db" direct - ferrox_cvn -users -where "$condition"
  expected=$(printf 'corv report -testServer\ncorv Report -raw -view Users -where %s' "$condition")
  check "$id: the client receives [$value]" same_lines "$expected" "$work/windows/$id/sim.log"
  compare_pair "$id"
done

# A line that cmd.exe would cut or refuse is not run: the run fails and says why.
refused_where() {  # refused_where ID CONDITION MESSAGE
  local id=$1 dir=$work/windows/$1
  mkdir -p "$dir"
  (cd "$dir" && env WINEPATH="$windows_path" CVN_FAMILY="$(winpath "$work/servers/corvane-fixture.db")" \
     SIM_LOG="$(winpath "$dir/sim.log")" "$wine" ferrox_cvn.exe -users -where "$2" >console.txt 2>&1; echo $? >status)
  check "$id: fails (255)" same_lines 255 "$dir/status"
  check "$id: says why" grep -q "$3" "$dir/console.txt"
  check "$id: the report is not run" same_lines "corv report -testServer" "$dir/sim.log"
}
refused_where where-line-break $'login <> \'a\nb\'' "holds a line break, which cmd.exe would cut"
refused_where where-too-long "login <> '$(printf '%%%.0s' {1..3000})'" "longer than cmd.exe takes (8191)"

# As record names: those that can name the note's scratch file on Windows (ferrox gives
# the others "Migrated Note" without asking the server). The raw file splits at "|" and
# drops leading blanks, so those stay out too.
sql=$work/servers/names.sql
names=()
not_a_file_name='["<>|:*?\\/[:cntrl:]]|[ .]$|^ '
for value in "${values[@]}"; do
  [[ $value =~ $not_a_file_name ]] && continue
  names+=("$value")
  quoted=${value//\'/\'\'}
  printf "INSERT INTO DefectView (prefix, name, state, abstract) VALUES ('d', '%s', 'open', 'hostile');\n" "$quoted"
  printf "INSERT INTO defectLong VALUES ('%s', CAST('note of %s' AS BLOB));\n" "$quoted" "$quoted"
done >"$sql"
$simgen corvane "$work/servers/corvane-names.db" --sql "$sql" >/dev/null
run_pair names corvane "$work/servers/corvane-names.db" direct - ferrox_cvn -defects -map
expected=$(printf 'corv report -testServer\ncorv Report -raw -view DefectView -where 1=1 order by name'
           printf '%s\n' "${names[@]}" | LC_ALL=C sort | while IFS= read -r n; do printf '\ncorv defect -view %s -long' "$n"; done)
check "names: the client receives all ${#names[@]} record names" same_lines "$expected" "$work/windows/names/sim.log"
compare_pair names

# As labels and directories of tagsmith's command file, which then runs: sbxcmd logs each
# mklabel call. tagsmith writes every label for every directory, so the values go in once
# as the labels of one directory and once as the directories of one label. tagsmith takes a
# value up to a ":", so those stay out. cmd.exe reads a batch file in the console's OEM
# code page, which turns bytes beyond ASCII into others (Windows does the same).
entries=()
for value in "${values[@]}"; do
  if beyond_ascii "$value"; then
    unchecked+=("label [$value]: cmd.exe reads a batch file in the OEM code page, not as UTF-8")
  elif [[ $value != *:* ]]; then
    entries+=("$value")
  fi
done
byte_length() { LC_ALL=C; echo ${#1}; }
for id in labels directories; do
  labels=("${entries[@]}") dirs=(src)
  [ $id = directories ] && labels=(RELEASE-R1) dirs=("${entries[@]}")
  for side in linux windows; do
    mkdir -p "$work/$side/$id"
    { printf 'TYPES_BEGIN\n'
      for v in "${labels[@]}"; do printf 'LBTYPE_BEGIN\nLbType %d:%s\nLBTYPE_END\n' "$(byte_length "$v")" "$v"; done
      printf 'TYPES_END\n'; } >"$work/$side/$id/labels.txt"
    for v in "${dirs[@]}"; do
      printf 'DIR_BEGIN\nDirName %d:%s\nDIR_END\n' "$(byte_length "$v")" "$v"
    done >"$work/$side/$id/dirs.txt"
  done
  run_pair "$id" corvane - direct - tagsmith dirs.txt labels.txt commands.bat
  compare_status_console "$id"   # the command files differ: each quotes for its interpreter
  (cd "$work/linux/$id" && env PATH="$linux_path" SIM_LOG="$PWD/mklabel.log" sh commands.bat >run.txt 2>&1)
  on_wine "$work/windows/$id" run.txt env WINEPATH="$windows_path" SIM_LOG="$(winpath "$work/windows/$id/mklabel.log")" \
    "$wine" cmd /c commands.bat
  expected=$(for d in "${dirs[@]}"; do for l in "${labels[@]}"; do printf 'sbxcmd mklabel %s %s\n' "$l" "$d"; done; done)
  check "$id: sh runs ${#entries[@]} mklabel calls with the values" same_lines "$expected" "$work/linux/$id/mklabel.log"
  check "$id: cmd.exe runs ${#entries[@]} mklabel calls with the values" same_lines "$expected" "$work/windows/$id/mklabel.log"
done

# As part paths, release names and Vandor level names: a server of each kind with one part
# per value, "VALUE/VALUE" (a directory and a file of that name) in the release VALUE,
# exported with -parts -where on both sides. Every value must reach the client (a part's
# history queries name its path, Vandor's its release too) and the element import file byte
# for byte. The raw part file
# splits at "|" and drops leading blanks, so those values stay out.
paths=()
for value in "${values[@]}"; do
  [[ $value == *\|* || $value == \ * ]] || paths+=("$value")
done
sql_text() { printf "'%s'" "${1//\'/\'\'}"; }
for i in "${!paths[@]}"; do
  v=$(sql_text "${paths[$i]}") p=$(sql_text "${paths[$i]}/${paths[$i]}")
  printf "INSERT INTO RevisionView VALUES (%s, '2020/01/01 10:00:00', '1', NULL, '2020/01/01 10:00:00', 's%d', 'o%d');\n" "$p" "$i" "$i"
  printf "INSERT INTO PartFullView VALUES (%s, %s, NULL, 'asmith', '1', '2020/01/01 10:00:00', '0644', 's%d', NULL, NULL);\n" "$p" "$v" "$i"
done >"$work/servers/corvane-paths.sql"
for i in "${!paths[@]}"; do
  v=$(sql_text "${paths[$i]}") p=$(sql_text "${paths[$i]}/${paths[$i]}")
  printf "INSERT INTO Fileview VALUES (%s, %s, '1.1', '1', 'c', '2020/01/01 10:00:00', '2020/01/01 10:00:00', '0644', 's%d', NULL);\n" "$p" "$v" "$i"
  printf "INSERT INTO committedVersions VALUES (%s, %s, '1.1', '1', '2020/01/01 10:00:00', %s, '2020/01/01 10:00:00', 'delta');\n" "$p" "$v" "$v"
  printf "INSERT INTO versions VALUES ('1.1', '1', '0', '2020/01/01 10:00:00', 's%d');\n" "$i"
done >"$work/servers/vandor-paths.sql"
# each_value FORMAT...: each FORMAT for every value, {V} standing for the value, {P} for its
# part path, {R} and {Q} for the two with their single quotes doubled; sorted, each line once.
each_value() {
  printf '%s\n' "${paths[@]}" | perl -e 'my @formats = @ARGV; @ARGV = ();
    while (my $v = <STDIN>) {
      chomp $v;
      my %is = (V => $v, P => "$v/$v");
      ($is{R} = $is{V}) =~ s/\x27/\x27\x27/g;
      ($is{Q} = $is{P}) =~ s/\x27/\x27\x27/g;
      for (@formats) { (my $line = $_) =~ s/\{([VPRQ])\}/$is{$1}/g; print "$line\n" }
    }' -- "$@" | LC_ALL=C sort -u
}
lengths() { perl -pe 's/^(\w+) (.*)/"$1 " . length($2) . ":$2"/e' | LC_ALL=C sort; }  # "Tag VALUE" to "Tag N:VALUE"
tagged() { grep -h "^$1 " "${@:2}" | tr -d '\r' | LC_ALL=C sort -u; }
# part_paths ID KIND PROGRAM QUERIES EXTRACT LABEL...: QUERIES are a part's logged history
# queries (one a line), EXTRACT its extract call and each LABEL one of its label lines, as
# formats for each_value.
part_paths() {
  local id=$1 kind=$2 program=$3 extract=$5 dir=$work/windows/$1 query
  local -a labels=("${@:6}") queries=() starts=()
  mapfile -t queries <<<"$4"
  for query in "${queries[@]}"; do starts+=(-e "${query%%\'*}"); done
  $simgen "$kind" "$work/servers/$kind-paths.db" --sql "$work/servers/$kind-paths.sql" >/dev/null
  run_pair "$id" "$kind" "$work/servers/$kind-paths.db" direct - "$program" -parts -where "1=1"
  compare_pair "$id"
  check "$id: the client receives all ${#paths[@]} part paths" \
    same_lines "$(each_value "${queries[@]}")" <(grep -F "${starts[@]}" "$dir/sim.log" | LC_ALL=C sort)
  check "$id: the export names all parts" same_lines "$(each_value 'Name {P}' | lengths)" <(tagged Name "$dir/partsExport.txt")
  check "$id: the export declares all directories" \
    same_lines "$(each_value 'DirName {V}' | lengths)" <(tagged DirName "$dir/SavedDirsFile.txt" | grep -v '^DirName 1:\.$')
  check "$id: the export labels all versions" same_lines "$(each_value "${labels[@]}" | lengths)" \
    <(tagged Label "$dir/partsExport.txt")
  # The extract commands, as the importing side runs them (the target file after ">").
  mkdir -p "$dir/extract"
  tagged ExtractCmd "$dir/partsExport.txt" | sed 's/^ExtractCmd [0-9]*://; s/$/ extracted.out/' >"$dir/extract/lines.txt"
  on_wine "$dir/extract" run.txt env WINEPATH="$windows_path" SIM_LOG="$(winpath "$dir/extract/sim.log")" \
    "$wine" "$root/$run_lines" lines.txt
  check "$id: cmd.exe runs the extract command of all ${#paths[@]} parts" \
    same_lines "$(each_value "$extract")" <(LC_ALL=C sort "$dir/extract/sim.log")
}
part_paths part-paths-cvn corvane ferrox_cvn \
  "corv Report -general RevisionView -select nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid -where nupathname = '{Q}' order by changeDate desc" \
  'corv Part -extract {P} -nokeys -release {V} -stdout' 'Label CVN-RELEASE-{V}'
part_paths part-paths-vdr vandor ferrox_vandor \
  "Report -general committedVersions -select pathname,releasename,sid, versionid,changedate,levelname,commitdate -where releaseName in ('{R}') and pathname ='{Q}'  and changetype != 'noDelta' order by pathname,sid,commitdate,changedate
Report -general versions -select sid,id,previousid,changedate -where sourceid in (select sourceid from fileview where pathname = '{Q}') order by changedate asc " \
  'File -extract {P} -nokeys -release {V} -version 1.1 -stdout' 'Label VANDOR-RELEASE-{V}' 'Label VANDOR-LEVEL-{V}'

canaries=$(find "$work/linux" "$work/windows" -name 'canary*')
check "canary: no value ran as a command ($canaries)" test -z "$canaries"

# --- Interrupts -------------------------------------------------------------------------
# An export is interrupted while the client answers slowly: the run must end at once with
# status -1 (255), say so, stop every client, leave the earlier export file as it was and
# remove everything else it created (but its journal, and a parts export's raw part file).
# A defect export waits on one note; a parts export with -jobs 4 on the reports of four parts.
# Each row: id | how the event arrives | export
interrupts=(
  "ctrl-c           | sigint      | defects"  # wine's own Ctrl-C: SIGINT to every process of the run
  "ctrl-break       | break       | defects"  # to the program and every process it started
  "console-close    | close       | defects"
  "ctrl-break-alone | break alone | defects"  # a client that holds on: ferrox stops it itself
  "jobs-ctrl-c      | sigint      | parts"
  "jobs-break-alone | break alone | parts"
)
delay_ms=20000
for row in "${interrupts[@]}"; do
  IFS='|' read -r id how export <<<"$row"
  read -r id <<<"$id"; read -r -a how <<<"$how"; read -r export <<<"$export"
  if [ "$export" = defects ]; then
    server=fixture delay='defect -view 1002' clients=1 file=defectsExport.txt left=ferrox.journal
    args=(-defects -map)
  else
    server=generated delay='RevisionView' clients=4 file=partsExport.txt left="ferrox.journal partsRawFile000.raw"
    args=(-parts -release R2 -jobs 4)
  fi
  dir=$work/windows/$id
  mkdir -p "$dir" && cd "$dir"
  echo "an earlier export" >"$file"
  WINEPATH="$windows_path" CVN_FAMILY="$(winpath "$work/servers/corvane-$server.db")" SIM_LOG="$(winpath "$dir/sim.log")" \
    SIM_DELAY="$delay" SIM_DELAY_MS=$delay_ms setsid "$wine" ferrox_cvn.exe "${args[@]}" >console.txt 2>&1 &
  pid=$!
  for _ in $(seq 300); do (($(cat sim.log 2>/dev/null | grep -c "$delay") >= clients)) && break; sleep 0.1; done
  sleep 0.5   # the clients are in their delay
  running=$(clients_left | wc -l)
  sent=$SECONDS
  if [ "${how[0]}" = sigint ]; then
    kill -INT -- -$pid
  else
    timeout 30 "$wine" "$root/$console_event" "${how[@]:0:1}" ferrox_cvn.exe "${how[@]:1}" >event.txt 2>&1
  fi
  for _ in $(seq 150); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  ended=$((SECONDS - sent))
  kill -KILL -- -$pid 2>/dev/null
  wait $pid
  status=$?
  rm -f event.txt
  cd "$root"
  check "$id: the run ends at once (${ended}s)" test $ended -lt $((delay_ms / 2000))
  check "$id: exit status 255 ($status)" test $status -eq 255
  check "$id: says it was interrupted" grep -q "ERROR:  Interrupted: the export was stopped" "$dir/console.txt"
  check "$id: the event meets $clients client(s) under way ($running processes)" test "$running" -ge $((2 * clients))
  check "$id: the earlier export stays" same_lines "an earlier export" "$dir/$file"
  check "$id: nothing else is left" same_lines "$(printf '%s\n' console.txt "$file" $left sim.log | LC_ALL=C sort)" <(ls "$dir")
  check "$id: no client runs on" test -z "$(clients_left)"
done

echo
for what in "${unchecked[@]}"; do echo "NOT CHECKED under wine: $what"; done
for what in "${retried[@]}"; do echo "RUN AGAIN (wine's cmd failed to start a program): $what"; done
echo "Windows check took $((SECONDS - started)) s"
echo "$passed passed, $failed failed"
((failed == 0))
