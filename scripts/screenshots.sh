#!/usr/bin/env bash
# Pictures of every window for a look by eye, taken on a 1280x800 virtual
# screen: scripts/screenshots.sh [build folder] [picture folder]
# Needs a built tree (scripts/dev.sh test or run builds one) and xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shots=${2:-$build/screenshots}
cmake --build "$build" --target tst_screenshots
mkdir -p "$shots"
export VX_SHOTS=$shots QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests-bin/tst_screenshots"
echo "pictures in $shots"
