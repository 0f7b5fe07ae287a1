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
