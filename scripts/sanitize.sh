#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer (GCC)
# in their own folder and runs them; any sanitizer report fails its test.
#   scripts/sanitize.sh [ctest arguments...]
# VX_SANITIZE_BUILD_DIR (default build-asan) is the build folder. The fuzz
# label is left out: the fuzz targets carry their own sanitizers; so is the
# package, built and tried once by the ordinary run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_SANITIZE_BUILD_DIR:-$here/build-asan}
jobs=$(nproc)

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_WERROR=ON \
  -DVX_SANITIZE=ON -DVX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# Leaks are checked where LeakSanitizer works (not under every sandbox).
detect_leaks=$("$here/scripts/lsan-probe.sh" cc "$build")
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=$detect_leaks:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$here/scripts/sanitize.supp:print_suppressions=0"
cd "$build"
ctest --output-on-failure -j "$jobs" -LE 'manual|fuzz|package' "$@"
