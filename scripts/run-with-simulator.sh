#!/usr/bin/env bash
# Starts a simulated instrument on 127.0.0.1:4418 (when it is built), then the
# program from its folder; the simulator stops when the program ends.
set -u
bin=${1:?program folder}
sim="$bin/vx4418-instrument"
sim_pid=""
if [[ -x "$sim" ]]; then
  "$sim" --port 4418 --events 300 --state "$bin/instrument-state.json" &
  sim_pid=$!
  export VX4418_IRDA_DEVICES=${VX4418_IRDA_DEVICES:-127.0.0.1:4418}
fi
"$bin/VX4418M"
rc=$?
[[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null
exit $rc
