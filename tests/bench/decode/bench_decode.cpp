// Decoding a full history area (266,340 bytes, 13,317 records) record by
// record into events, as filing and the read-history window do, against
// copying the same record fields out without any check or conversion.
#include <benchmark/benchmark.h>
#include <cstring>

#include "FullHistoryArea.h"
#include "history/HistoryRecord.h"

namespace {

constexpr int kRecords = HistoryArea::Capacity / HistoryRecord::Size;

void PerRecord(benchmark::State &state) {
  state.counters["records"] = kRecords;
  state.counters["per_record"] = benchmark::Counter(
      kRecords, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DecodeFullArea(benchmark::State &state) {
  const std::vector<std::uint8_t> &area = FullHistoryArea();
  for (auto _ : state) {
    double sum = 0;
    const int events = WalkHistory(area.data(), int(area.size()),
                                   [&](const HistoryRecord &record, const HistoryEvent &event) {
                                     sum += record.Time + event.EventValue + event.DEValue;
                                   });
    if (events != kRecords)
      state.SkipWithError("not every record gave an event");
    benchmark::DoNotOptimize(sum);
  }
  PerRecord(state);
}
BENCHMARK(BM_DecodeFullArea)->Unit(benchmark::kMicrosecond);

// The floor: every record's fields copied out as they are.
struct RawRecord {
  std::uint8_t date[6];
  float rate;
  std::uint16_t channel;
  float dose;
  std::uint32_t extra;
};

void BM_CopyRecordFields(benchmark::State &state) {
  const std::vector<std::uint8_t> &area = FullHistoryArea();
  std::vector<RawRecord> out(kRecords);
  for (auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      const std::uint8_t *r = area.data() + i * HistoryRecord::Size;
      RawRecord &o = out[std::size_t(i)];
      std::memcpy(o.date, r, 6);
      std::memcpy(&o.rate, r + 6, 4);
      std::memcpy(&o.channel, r + 10, 2);
      std::memcpy(&o.dose, r + 12, 4);
      std::memcpy(&o.extra, r + 16, 4);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  PerRecord(state);
}
BENCHMARK(BM_CopyRecordFields)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
