#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [seconds] [target...]   build, then fuzz each target (default
#                                           60 s each; all targets)
#   scripts/fuzz.sh --build-only            only configure and build
#   scripts/fuzz.sh --no-build [seconds] [target...]
# Targets: link history language settings rtf import numbers.
# VX_FUZZ_BUILD_DIR (default build-fuzz) is the clang build folder,
# VX_FUZZ_WORK_DIR (default build-fuzz/work) keeps the inputs each run found and
# any crashing input (crash-*, leak-*, timeout-*). The committed seeds in
# tests/fuzz/corpus/<target> are read, never written. VX_FUZZ_JOBS runs that
# many fuzzing processes per target (default 1).
# A finding stops the run with a non-zero status; copy its input to
# tests/fuzz/crashes/<target>/ once fixed, where the test suite replays it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_FUZZ_BUILD_DIR:-$here/build-fuzz}
work=${VX_FUZZ_WORK_DIR:-$build/work}
all_targets=(link history language settings rtf import numbers)

do_build=1 do_run=1
case "${1:-}" in
  --build-only) do_run=0; shift ;;
  --no-build) do_build=0; shift ;;
esac
seconds=${1:-60}
[[ $# -gt 0 ]] && shift
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=("${all_targets[@]}")

if [[ $do_build -eq 1 ]]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVX_FUZZ=ON >/dev/null
  cmake --build "$build" -j "${VX_FUZZ_BUILD_JOBS:-2}" $(printf -- '--target fuzz_%s ' "${all_targets[@]}")
fi
[[ $do_run -eq 0 ]] && exit 0

# Leaks are checked where LeakSanitizer works (not under every sandbox).
detect_leaks=$("$here/scripts/lsan-probe.sh" clang "$build")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=$detect_leaks:halt_on_error=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

status=0
for target in "${targets[@]}"; do
  seeds=$here/tests/fuzz/corpus/$target
  found=$work/$target
  mkdir -p "$found/artifacts" "$found/new"
  echo "== fuzz_$target: $seconds s"
  jobs=()
  [[ ${VX_FUZZ_JOBS:-1} -gt 1 ]] && jobs=(-jobs="$VX_FUZZ_JOBS" -workers="$VX_FUZZ_JOBS")
  if ! (cd "$found" && "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 "${jobs[@]}" -artifact_prefix="$found/artifacts/" \
      "$found/new" "$seeds" >"$found/log.txt" 2>&1); then
    status=1
    tail -40 "$found/log.txt" >&2
    echo "fuzz_$target found a problem; see $found/log.txt and $found/artifacts/" >&2
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+ +DONE' "$found/log.txt" | tail -2 || true
done
exit $status
