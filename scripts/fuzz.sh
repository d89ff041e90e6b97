#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS seconds (default 60), one process each, from the committed seeds in
# fuzz/corpus/ plus a working corpus in build/fuzz/corpus-*. A target stops at its first crash,
# hang, leak or out-of-memory; the script then prints where the input is (build/fuzz/findings/)
# and exits non-zero once both targets have run.
#
#   bash scripts/fuzz.sh          # the CI run: a minute per target
#   bash scripts/fuzz.sh 3600     # a long run: an hour per target
#
# Limits of one input:
#   -timeout=2          seconds, wall clock (libFuzzer looks every 2 s, so a unit is caught
#                       somewhere between 2 and 4 s). compile_fuzz runs each compile at a
#                       twentieth of the real bounds, which under the sanitizers takes about as
#                       long as a compile at the real bounds in the optimised build: about a
#                       second (the slowest sources known, loops that run into the work bound,
#                       take 0.6 to 1.2 s). It checks the CPU time of each compile itself against
#                       2 s, twice that, so any input whose work the bounds do not hold is
#                       flagged; the -timeout catches what never returns. Either counts only if
#                       it repeats when the input runs again alone (a busy shared machine can
#                       stretch one run).
#   -rss_limit_mb=1024  the whole process, the sanitizers' own memory included (their quarantine
#                       alone holds up to 256 MB; a run settles at about 450 MB).
#   -malloc_limit_mb=64 one allocation. At a twentieth of the bounds the largest one a compile
#                       makes is under 10 MB (the event list); more means memory that does not
#                       follow the bounds. The patcher's largest is its 1 KB input.
#   -max_len            4096 bytes of source (a real ringtone is a few KB); 1024 for a patch input.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: bash scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi

bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

findings=build/fuzz/findings
limits=(-timeout=2 -rss_limit_mb=1024 -malloc_limit_mb=64)
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
mkdir -p "$findings"
status=0
for target in compile patch; do
  case $target in
    compile) max_len=4096; extra=(-dict=fuzz/mml.dict) ;;
    patch) max_len=1024; extra=() ;;
  esac
  corpus=build/fuzz/corpus-$target
  mkdir -p "$corpus"
  log=$findings/$target.log
  echo "== fuzzing $target for $seconds s (log: $log)"
  # The working corpus comes first: libFuzzer adds the new inputs to the first folder only.
  if "build/fuzz/fuzz/${target}_fuzz" "$corpus" "fuzz/corpus/$target" "${extra[@]}" "${limits[@]}" \
    -max_len=$max_len -max_total_time="$seconds" -artifact_prefix="$findings/$target-" \
    -print_final_stats=1 >"$log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$log" || true
    continue
  fi
  input=$(grep -o 'Test unit written to .*' "$log" | sed 's/Test unit written to //' | tail -n 1)
  # A timeout, or a compile over its CPU time, must repeat when the input runs alone: a burst of
  # load on a shared machine can stretch one run past the limit.
  if { [[ "$input" == */$target-timeout-* ]] || grep -q 'of CPU time, more than' "$log"; } &&
    "build/fuzz/fuzz/${target}_fuzz" "${limits[@]}" "$input" >"$log.rerun" 2>&1; then
    echo "warning: $target: $input was too slow once but not when run again alone (a busy machine)"
    continue
  fi
  status=1
  echo "!! $target: finding (log: $log)" >&2
  grep -E '^(==[0-9]+==ERROR|SUMMARY|ALARM|.*deadly signal|.*out-of-memory)' "$log" >&2 || tail -n 30 "$log" >&2
  echo "   input: ${input:-see the log}" >&2
  echo "   reproduce: build/fuzz/fuzz/${target}_fuzz INPUT" >&2
  echo "   minimise:  build/fuzz/fuzz/${target}_fuzz -minimize_crash=1 -max_total_time=60 INPUT" >&2
done
exit $status
