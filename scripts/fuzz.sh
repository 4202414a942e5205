#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ (into build-fuzz, with clang's libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for SECONDS,
# starting from its seed corpus fuzz/corpus/<target>. Prints each target's
# executions; exits non-zero when any target crashes or a sanitizer reports.
#
#   scripts/fuzz.sh SECONDS [EXTRA_CORPUS_DIR...]
#
# An extra corpus folder that has a subfolder named after a target gives that
# subfolder to the target; otherwise the folder goes to every target. What
# the fuzzers find is kept in build-fuzz/corpus/<target>, the repository's
# seeds are never written; a crashing input is saved as
# build-fuzz/<target>-crash-*.
set -euo pipefail
if (($# < 1)) || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [EXTRA_CORPUS_DIR...]" >&2
  exit 2
fi
seconds=$1
shift
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUENLO_FUZZ_BUILD_DIR:-$root/build-fuzz}"
targets=(profile_fuzz deck_fuzz settingstext_fuzz gbk_fuzz)

"$root/scripts/setup.sh"
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DQUENLO_FUZZ=ON -DQUENLO_BUILD_TESTS=OFF -DQUENLO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
  found="$build/corpus/$target"
  mkdir -p "$found"
  corpora=("$found" "$root/fuzz/corpus/$target")
  for extra in "$@"; do
    if [[ -d $extra/$target ]]; then
      corpora+=("$extra/$target")
    else
      corpora+=("$extra")
    fi
  done
  log="$build/$target.log"
  if "$build/fuzz/$target" "${corpora[@]}" -max_total_time="$seconds" -timeout=20 \
      -print_final_stats=1 -artifact_prefix="$build/$target-" >"$log" 2>&1; then
    executions=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    echo "$target: ${executions:-?} executions in $seconds s"
  else
    echo "$target: FAILED (log: $log)"
    tail -n 60 "$log"
    status=1
  fi
done
exit $status
