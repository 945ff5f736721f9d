# Timing helpers of the benchmark scripts (sourced). The machine is shared with other work, so a peer
# is always timed in the same run as ours, the commands taking turns round by round: load from
# elsewhere then falls on each of them alike, and the ratios stay fair even when the figures move.

# The load average and the processes that take most of a core now, for the record beside the figures.
load_note() {
  local busy
  busy=$(ps -eo pcpu=,comm= --sort=-pcpu | awk '$1 >= 20 { printf "%s %s%%, ", $2, $1 }')
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; busy: ${busy%, }"
}

# Wall-clock milliseconds of one run of a shell command (output discarded), with 0.1 ms resolution.
# A failing command stops the script: a figure of a failed run would be no figure at all.
time_ms() {
  local start end
  start=${EPOCHREALTIME//[^0-9]/}
  if ! eval "$1" > /dev/null 2>&1; then
    echo "failed: $1" >&2
    return 1
  fi
  end=${EPOCHREALTIME//[^0-9]/}
  awk -v us=$((end - start)) 'BEGIN { printf "%.1f", us / 1000 }'
}

# interleave ROUNDS NAME COMMAND [NAME COMMAND ...]: runs every command once a round, in turn, and
# prints one line for each: its name, median and fastest run in ms. The medians are also left in
# MEDIAN[NAME] for ratios. INTERLEAVE_SETUP, when set, runs untimed before every command (to clear
# what an earlier run left behind).
declare -A MEDIAN=()
INTERLEAVE_SETUP=""
interleave() {
  local rounds=$1
  shift
  local names=() commands=() times=()
  while [ $# -ge 2 ]; do
    names+=("$1")
    commands+=("$2")
    times+=("")
    shift 2
  done
  local round i took
  for ((round = 0; round < rounds; round++)); do
    for i in "${!names[@]}"; do
      [ -z "$INTERLEAVE_SETUP" ] || eval "$INTERLEAVE_SETUP"
      took=$(time_ms "${commands[$i]}")
      times[i]+="$took "
    done
  done
  for i in "${!names[@]}"; do
    read -r median best < <(tr ' ' '\n' <<< "${times[$i]}" | grep . | sort -g |
      awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f %.1f\n", m, v[1] }')
    MEDIAN[${names[$i]}]=$median
    printf '%-34s median %9s ms   best %9s ms\n' "${names[$i]}" "$median" "$best"
  done
}

# ratio A B: A / B to two places.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
