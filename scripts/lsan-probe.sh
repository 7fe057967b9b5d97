#!/usr/bin/env bash
# Prints 1 when LeakSanitizer works here, else 0 (with a note on stderr).
# LeakSanitizer stops the process it checks with ptrace; some sandboxes forbid
# that, and then every sanitized process would fail at exit.
#   scripts/lsan-probe.sh <C compiler> <folder for the probe program>
set -euo pipefail
compiler=$1
probe=$2/lsan-probe
if [[ ! -x $probe ]]; then
  mkdir -p "$2"
  printf '#include <stdlib.h>\nint main(void){void*volatile p=malloc(7);p=0;return 0;}\n' >"$probe.c"
  "$compiler" -fsanitize=address -g "$probe.c" -o "$probe"
fi
report=$(ASAN_OPTIONS=detect_leaks=1 "$probe" 2>&1 || true)
if [[ $report == *"detected memory leaks"* ]]; then
  echo 1
else
  echo "LeakSanitizer does not work here (ptrace refused?): leaks are not checked." >&2
  echo 0
fi
