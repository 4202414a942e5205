#!/usr/bin/env bash
# Installs what is needed, checks the formatting (scripts/check-format.sh),
# builds everything and runs every test. The GUI tests run on a virtual
# 1920 x 1080 screen at 96 dpi.
#   scripts/test.sh [--sanitize] [ctest arguments...]
# --sanitize builds into build-sanitize with AddressSanitizer and
# UndefinedBehaviorSanitizer (no benchmarks) and runs the same tests there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sanitize=false
ctest_extra=()
if [[ ${1:-} == --sanitize ]]; then
  sanitize=true
  shift
  export QUENLO_BUILD_DIR="${QUENLO_BUILD_DIR:-$root/build-sanitize}"
fi
build="${QUENLO_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
# Unformatted code fails the run before anything is built.
"$root/scripts/check-format.sh"
if $sanitize; then
  cmake -S "$root" -B "$build" -DQUENLO_SANITIZE=ON -DQUENLO_BUILD_BENCH=OFF >/dev/null
  export ASAN_OPTIONS="check_initialization_order=1"
  export LSAN_OPTIONS="suppressions=$root/scripts/sanitize.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # Counting the cues in the recorded sound stream needs the sound thread to
  # keep pace; slowed down by the sanitizers it may leave a gap that splits a
  # cue in two. The plain run checks it.
  ctest_extra=(--exclude-regex '^StageOnScreen\.EveryStepIsHeard$')
fi
"$root/scripts/build.sh"
cd "$build"
export QT_QPA_PLATFORM=xcb
run_ctest() {
  xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96 -nolisten tcp" ctest --output-on-failure "$@"
}
if ! $sanitize; then
  run_ctest --parallel "$(nproc)" "$@"
  exit
fi
# LeakSanitizer stops every thread at exit to look for leaks; now and then its
# own tracer crashes doing so ("LeakSanitizer has encountered a fatal error")
# after the test passed. Only when every failure is that crash are the failed
# tests run once more; any other failure fails the run.
log="$build/ctest-sanitize.log"
run_ctest --parallel "$(nproc)" --output-log "$log" "${ctest_extra[@]}" "$@" && exit
[[ -f Testing/Temporary/LastTestsFailed.log ]] || exit 1
failed=$(wc -l < Testing/Temporary/LastTestsFailed.log)
tracer_crashes=$(grep -c "LeakSanitizer has encountered a fatal error" "$log" || true)
if (( failed == 0 || tracer_crashes < failed )); then
  exit 1
fi
echo "$failed test(s) failed only because LeakSanitizer's tracer crashed at exit; running them once more:"
run_ctest --rerun-failed
