#!/usr/bin/env bash
# Runs every benchmark in a Release build and prints one table: each figure,
# what was measured, its baseline from the same run, the ratio, the goal and
# whether it is met.
#
#   bash scripts/bench.sh               configure build-rel, build, run, print
#   bash scripts/bench.sh --table-only  print the table of the last run again
#
# Build folder: build-rel (BUILD_DIR overrides), parallel jobs: JOBS (2).
# Raw results: <build>/bench-results/<program>.json and .txt.
# Exit status 0 when every figure was measured, whether or not its goal is
# met; 1 when the build failed or a benchmark program failed.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-rel}
results=$build/bench-results
programs=(bench_store bench_decode bench_link bench_lists bench_startup bench_transfer bench_import bench_reading bench_server bench_doses)
status=0

if [[ ${1:-} != --table-only ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVX_BUILD_TESTS=ON -DVX_BUILD_BENCH=ON \
    >/dev/null || exit 1
  cmake --build "$build" -j "${JOBS:-2}" --target benchmarks || exit 1
  mkdir -p "$results"
  for p in "${programs[@]}"; do
    rm -f "$results/$p.json"
    printf '%-16s ' "$p" >&2
    start=$SECONDS
    # The server figures run on a private PostgreSQL server of their own.
    server=()
    [[ $p == bench_server || $p == bench_doses ]] && server=(pg_virtualenv -t)
    if QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "${server[@]}" "$build/bench-bin/$p" \
         --benchmark_out="$results/$p.json" --benchmark_out_format=json \
         >"$results/$p.txt" 2>&1; then
      echo "done in $((SECONDS - start)) s" >&2
    else
      echo "FAILED (see $results/$p.txt)" >&2
      status=1
    fi
  done
fi

python3 - "$results" "${programs[@]}" <<'PY' || status=1
import json, os, re, sys

results, programs = sys.argv[1], sys.argv[2:]
UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}

# Every run by its name without the options Google Benchmark appends; the
# median when repetitions were asked for.
runs, context, loads = {}, None, []
for p in programs:
    path = os.path.join(results, p + ".json")
    if not os.path.exists(path):
        continue
    with open(path) as f:
        data = json.load(f)
    context = context or data.get("context")
    loads += data["context"].get("load_avg", [])[:1]
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            continue
        key = re.sub(r"/(iterations:\d+|manual_time|real_time|repeats:\d+)", "", b["run_name"])
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("run_type") == "aggregate" or key not in runs:
            runs[key] = b

def seconds(name):
    b = runs.get(name)
    return b and b["real_time"] * UNIT[b["time_unit"]]

def counter(name, field):
    b = runs.get(name)
    return b and b.get(field)

def per_event(name):
    b = runs.get(name)
    return b and seconds(name) / b["events"]

def time_text(s):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6), ("ns", 1e-9)):
        if s >= scale:
            return f"{s / scale:.3g} {unit}"
    return f"{s / 1e-9:.3g} ns"

def mb_text(v):
    return f"{v:.0f} MB"

# figure, measured, baseline (text, value), how to show values, goal:
# ("ratio", r) means measured/baseline <= r; ("below", v) means measured < v.
figures = [
    ("Filing a full history (13,317 events)",
     seconds("StoreThroughDataModule"), ("raw SQLite C API, one transaction", seconds("StoreThroughSqlite")),
     time_text, ("ratio", 2.0)),
    ("Decoding a full history area (13,317 records)",
     seconds("BM_DecodeFullArea"), ("copying the record fields unchecked", seconds("BM_CopyRecordFields")),
     time_text, ("below", 5e-3)),
    ("Full history from the simulator over loopback",
     seconds("BM_HistoryFromSimulator"), ("bare ping-pong of the same frames", seconds("BM_PingPongLoopback")),
     time_text, ("ratio", 2.0)),
    ("Program's own work per block (fake stack)",
     counter("BM_ReadHistoryInstant", "per_block"), ("the fake stack alone, per block", counter("BM_InstantStackAlone", "per_block")),
     time_text, ("below", 50e-6)),
    ("Full history at 115.2 kbit/s (fake stack)",
     seconds("BM_HistoryAt115200"), ("1,332 link turnarounds", counter("BM_LinkDelaysAt115200", "sum_of_delays_s")),
     time_text, ("ratio", 1.05)),
    ("End of a reading: last block to read-history window",
     seconds("BM_EndOfReading"), ("the transfer before it (fake stack)", counter("BM_EndOfReading", "transfer_s")),
     time_text, ("below", 0.2)),
    ("History list fill, 100,000 events",
     seconds("BM_HistoryList/1"), ("QTableWidget, same rows", seconds("BM_HistoryTableWidget/1")),
     time_text, ("ratio", 0.1)),
    ("History list fill, 300,000 events",
     seconds("BM_HistoryList/2"), ("QTableWidget, same rows", seconds("BM_HistoryTableWidget/2")),
     time_text, ("ratio", 0.1)),
    ("History list per row, 300,000 vs 100,000",
     per_event("BM_HistoryList/2"), ("per row with 100,000 events", per_event("BM_HistoryList/1")),
     time_text, ("ratio", 1.5)),
    ("User list fill, 10,000 people",
     seconds("BM_UserList"), ("QTableWidget, same select", seconds("BM_UserTableWidget")),
     time_text, ("below", 0.1)),
    ("Start-up to filled main window, new process",
     seconds("BM_StartupProcess"), ("process creating only QApplication", seconds("BM_ApplicationOnlyProcess")),
     time_text, ("below", 1.0)),
    ("Start-up windows and lists, in process",
     seconds("BM_StartupToFilledMainWindow"), ("same on the supplied database", seconds("BM_StartupSuppliedDatabase")),
     time_text, ("below", 1.0)),
    ("Peak memory of that start-up",
     counter("BM_StartupProcess", "peak_MB"), ("process creating only QApplication", counter("BM_ApplicationOnlyProcess", "peak_MB")),
     mb_text, ("below", 150.0)),
    ("One person's history out of 1,000,000 events",
     seconds("BM_HistorySelectDataModule"), ("sqlite3 shell, same query and file", seconds("BM_HistorySelectSqliteShell")),
     time_text, ("ratio", 2.0)),
    ("Import of 20,000 people and 200,000 events",
     seconds("ImportThroughProgram"), ("same merge through the SQLite C API", seconds("ImportThroughSqlite")),
     time_text, ("below", 5.0)),
    ("Server: filing a full reading (13,317 events)",
     seconds("ServerFilingThroughDataModule"), ("bare libpq COPY, one transaction", seconds("ServerFilingRawCopy")),
     time_text, ("ratio", 2.0)),
    ("Server: one person's history out of 1,000,000",
     seconds("ServerHistorySelect"), ("psql, same query", seconds("ServerHistorySelectPsql")),
     time_text, ("ratio", 2.0)),
    ("Server: start-up to filled main window",
     seconds("ServerStartupToFilledMainWindow"), ("filing a full reading, for scale", seconds("ServerFilingThroughDataModule")),
     time_text, ("below", 1.0)),
    ("Server: eight desks filing a full reading each",
     seconds("ServerEightDesks"), ("one desk alone", seconds("ServerOneDesk")),
     time_text, ("ratio", 3.0)),
    ("Year totals, 10,000 people, 1,000,000 events (SQLite)",
     seconds("ProgramYearTotals/0"), ("one window-function query", seconds("WindowQueryYearTotals/0")),
     time_text, ("ratio", 2.0)),
    ("Year totals on SQLite, time",
     seconds("ProgramYearTotals/0"), ("one window-function query", seconds("WindowQueryYearTotals/0")),
     time_text, ("below", 1.0)),
    ("Server: year totals, 10,000 people, 1,000,000 events",
     seconds("ProgramYearTotals/1"), ("one window-function query", seconds("WindowQueryYearTotals/1")),
     time_text, ("ratio", 2.0)),
    ("Server: year totals, time",
     seconds("ProgramYearTotals/1"), ("one window-function query", seconds("WindowQueryYearTotals/1")),
     time_text, ("below", 1.0)),
    ("Dose chart of 100,000 events, built and drawn",
     seconds("DoseChart/100000"), ("the same with 1,000 events", seconds("DoseChart/1000")),
     time_text, ("below", 0.2)),
]

rows, missing = [], 0
for name, measured, (base_name, base), show, (kind, goal) in figures:
    if measured is None or base is None:
        missing += 1
        rows.append((name, "not measured", base_name, "", "", "n/a"))
        continue
    ratio = measured / base if base else float("inf")
    if kind == "ratio":
        goal_text, met = f"≤ {goal:g}× baseline", ratio <= goal
    else:
        goal_text, met = f"< {show(goal)}", measured < goal
    rows.append((name, show(measured), f"{show(base)} ({base_name})", f"{ratio:.3g}",
                 goal_text, "yes" if met else "NO"))

head = ("Figure", "Measured", "Baseline", "Ratio", "Goal", "Met")
widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head))]
def line(cells):
    return "| " + " | ".join(c.ljust(w) for c, w in zip(cells, widths)) + " |"
print()
if context:
    load = f", load average {min(loads):.1f} to {max(loads):.1f}" if loads else ""
    print(f"{context.get('date', '')}, {context.get('num_cpus')} CPUs at "
          f"{context.get('mhz_per_cpu')} MHz{load}")
print(line(head))
print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
for r in rows:
    print(line(r))
met = sum(r[-1] == "yes" for r in rows)
print(f"\n{met} of {len(rows)} goals met" + (f", {missing} figures not measured" if missing else ""))
sys.exit(1 if missing else 0)
PY
exit $status
