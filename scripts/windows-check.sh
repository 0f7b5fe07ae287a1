#!/usr/bin/env bash
# The Windows end-to-end check. Builds the Linux and the Windows programs (mingw-w64, with a
# Windows build of the simulated client), makes a fresh wine prefix and runs the end-to-end
# tables with the Windows programs under wine (`ctest -L wine`: exports of both kinds, -jobs,
# tagsmith, values that cmd.exe's quoting must carry), then the console events only Windows
# has: Ctrl-C, Ctrl-Break and a closing console, also during a -jobs 4 run. Installs wine64
# when it is missing and fetches SQLite's amalgamation for the client. Ends with
# "N passed, M failed" and a non-zero status on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS
quiet() {  # runs a command, showing its output only when it fails
  local log status
  log=$(mktemp); "$@" >"$log" 2>&1; status=$?
  ((status == 0)) || cat "$log" >&2
  rm -f "$log"; return $status
}

# --- Tools, builds and the prefix -------------------------------------------------------
set -e
scripts/setup.sh
wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
  echo "Installing: wine64"
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends wine64 >/dev/null
fi
amalgamation=$(scripts/fetch-sqlite.sh)
echo "Building the Linux and the Windows programs and simulated clients"
quiet scripts/build.sh -DFERROX_WINE_TESTS=ON -DFERROX_WINE="$wine" -DFERROX_WINE_BUILD_DIR="$root/build-win"
quiet cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DFERROX_WERROR=ON \
      -DFERROX_TESTS=OFF -DFERROX_SQLITE_AMALGAMATION="$amalgamation"
quiet cmake --build build-win -j2 --target ferrox tagsmith sim
# tagsmith's command files run sbxcmd: the simulated client logs any name it is called by.
cp -p build-win/sim-bin/simclient.exe build-win/sim-bin/sbxcmd.exe
for helper in console-event run-lines; do
  if [ ! "build-win/check/$helper.exe" -nt "scripts/windows/$helper.cpp" ]; then
    mkdir -p build-win/check
    quiet x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -static \
          -o "build-win/check/$helper.exe" "scripts/windows/$helper.cpp"
  fi
done
set +e
work=$root/build-wincheck
rm -rf "$work" && mkdir -p "$work"
# A fresh prefix; no display, and none of the Mono or Gecko installers it would offer.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap '/usr/lib/wine/wineserver -k 2>/dev/null' EXIT
echo "Creating a fresh wine prefix"
quiet "$wine" wineboot --init || { echo "wineboot failed"; exit 1; }

passed=0
failed=0
check() {  # check TITLE COMMAND...: one counted result
  local title=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $title"; fi
}
same_lines() {  # same_lines EXPECTED_TEXT FILE
  [ "$1" == "$(cat "$2" 2>/dev/null)" ] && return 0
  diff <(printf '%s\n' "$1") "$2" | head -n 12; return 1
}

# --- The tables -------------------------------------------------------------------------
echo "The end-to-end tables with the Windows programs"
rm -f build/wine-reruns.txt
ctest --test-dir build -L wine -j2 --output-on-failure >"$work/ctest.log" 2>&1
grep -E '\*\*\*(Failed|Timeout|Not Run)|^[0-9]+% tests passed' "$work/ctest.log"
total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$work/ctest.log")
lost=$(sed -n 's/.*, \([0-9]*\) tests failed out of .*/\1/p' "$work/ctest.log")
[ -n "$total" ] || { total=1; lost=1; tail -n 30 "$work/ctest.log"; }
passed=$((passed + total - lost)) failed=$((failed + lost))

# --- Console events ---------------------------------------------------------------------
# An export is interrupted while the client answers slowly: the run must end at once with
# status -1 (255), say so, stop every client, leave the earlier export file as it was and
# remove everything else it created (but its journal, and a parts export's raw part file).
# A defect export waits on one note; a parts export with -jobs 4 on the reports of four parts.
for server in fixture generated; do
  more=(--fixture sim/fixtures/corvane.sql)
  [ $server = generated ] && more=(--seed 7 --defects 25 --features 10 --users 12 --parts 40 --revisions 5)
  build/sim-bin/simgen corvane "$work/corvane-$server.db" "${more[@]}" >/dev/null
done
clients_left() {  # processes of this prefix that still run a client or its cmd.exe
  local pid
  for pid in $(pgrep -f -- 'corv|cmd\.exe'); do
    [[ $(ps -o stat= -p "$pid") == Z* ]] && continue
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
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
  server=fixture delay='defect -view 1002' clients=1 file=defectsExport.txt left=ferrox.journal args=(-defects -map)
  [ "$export" = parts ] && server=generated delay='RevisionView' clients=4 file=partsExport.txt \
    left="ferrox.journal partsRawFile000.raw" args=(-parts -release R2 -jobs 4)
  dir=$work/$id
  mkdir -p "$dir" && cd "$dir" && echo "an earlier export" >"$file"
  WINEPATH="$(winpath "$root/build-win/bin");$(winpath "$root/build-win/sim-bin")" SIM_LOG="$(winpath "$dir/sim.log")" \
    CVN_FAMILY="$(winpath "$work/corvane-$server.db")" SIM_DELAY="$delay" SIM_DELAY_MS=$delay_ms \
    setsid "$wine" ferrox_cvn.exe "${args[@]}" >console.txt 2>&1 &
  pid=$!
  for _ in $(seq 300); do (($(cat sim.log 2>/dev/null | grep -c "$delay") >= clients)) && break; sleep 0.1; done
  sleep 0.5   # the clients are in their delay
  running=$(clients_left | wc -l)
  sent=$SECONDS
  if [ "${how[0]}" = sigint ]; then
    kill -INT -- -$pid
  else
    timeout 30 "$wine" "$root/build-win/check/console-event.exe" "${how[0]}" ferrox_cvn.exe "${how[@]:1}" >/dev/null 2>&1
  fi
  for _ in $(seq 150); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  ended=$((SECONDS - sent))
  kill -KILL -- -$pid 2>/dev/null
  wait $pid
  status=$?
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
[ -s build/wine-reruns.txt ] && sed 's/^/RUN AGAIN (wine'"'"'s cmd failed to start a program): /' build/wine-reruns.txt
echo "Windows check took $((SECONDS - started)) s"
echo "$passed passed, $failed failed"
((failed == 0))
