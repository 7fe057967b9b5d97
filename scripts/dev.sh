#!/usr/bin/env bash
# Sets up a Debian 12 machine for VX4418M, builds it, and either starts the
# program (with a simulated instrument in infrared range) or runs the tests.
#   scripts/dev.sh run    build and start VX4418M from build/bin
#   scripts/dev.sh test   build and run the whole test suite through CTest, then
#                         again built with ASan and UBSan (scripts/sanitize.sh),
#                         with a private PostgreSQL server for the tests that
#                         run on one
#   scripts/dev.sh package  build and write build/vx4418m_<version>_amd64.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
mode=${1:-run}
build=${VX_BUILD_DIR:-$here/build}

install_missing() {
  local missing=()
  while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done < scripts/packages.txt
  [[ ${#missing[@]} -eq 0 ]] && return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages. Run this once as root, then start again:"
    echo "  apt-get update && apt-get install -y ${missing[*]}"
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_WERROR=ON "$@"
  cmake --build "$build" -j "$(nproc)"
}

case "$mode" in
  run)
    install_missing
    configure_and_build
    exec "$here/scripts/run-with-simulator.sh" "$build/bin"
    ;;
  test)
    install_missing
    configure_and_build
    # The data-layer tests run a second time on a PostgreSQL server: a private
    # cluster for this run (pg_virtualenv), which the tests find through
    # libpq's environment.
    pg_virtualenv -t -o fsync=off bash -c 'cd "$1" && ctest --output-on-failure -j "$(nproc)" -LE manual &&
      VX_SANITIZE_BUILD_DIR="$1-asan" "$2/scripts/sanitize.sh"' tests "$build" "$here"
    ;;
  package)
    install_missing
    configure_and_build
    (cd "$build" && cpack -G DEB)
    ;;
  *)
    echo "usage: scripts/dev.sh run|test|package" >&2
    exit 2
    ;;
esac
