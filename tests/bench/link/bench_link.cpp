// A full history (266,340 bytes in 1,332 blocks) read through ReadHistory from
// stacks that answer at once: the time per block is the program's own work
// (frame handling, reassembly, copying). Against it, the same requests and
// replies passed through the instant stack alone.
#include <benchmark/benchmark.h>
#include <cstring>

#include "FakeIrdaStack.h"
#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"

namespace {

constexpr int Blocks = 1332;

// Every block of a full history, back to back.
std::vector<std::uint8_t> FullHistoryStream(std::vector<std::size_t> &starts) {
  std::vector<std::uint8_t> stream;
  int left = HistoryArea::Capacity;
  for (int b = 0; b < Blocks; ++b) {
    const int data = std::min(left, 200);
    left -= data;
    starts.push_back(stream.size());
    const std::size_t at = stream.size();
    stream.insert(stream.end(), {0x55, static_cast<std::uint8_t>(data + 4),
                                 static_cast<std::uint8_t>(left > 0 ? 'H' : 'I'), 0x01});
    for (int i = 0; i < data; ++i)
      stream.push_back(static_cast<std::uint8_t>(b + i));
    stream.push_back(FrameChecksum(stream.data() + at, data + 4));
  }
  starts.push_back(stream.size());
  return stream;
}

// Answers each H request with the next block straight from memory.
class InstantInstrument : public FakeIrdaStack {
public:
  InstantInstrument() { stream_ = FullHistoryStream(starts_); }
  void Rewind() { block_ = -1; }
  int Send(IrdaSocket, const void *, int length) override {
    ++block_;
    at_ = starts_[static_cast<std::size_t>(block_)];
    end_ = starts_[static_cast<std::size_t>(block_) + 1];
    return length;
  }
  int Receive(IrdaSocket, void *data, int length) override {
    const auto n = std::min(static_cast<std::size_t>(length), end_ - at_);
    std::memcpy(data, stream_.data() + at_, n);
    at_ += n;
    return static_cast<int>(n);
  }

private:
  std::vector<std::uint8_t> stream_;
  std::vector<std::size_t> starts_;
  int block_ = -1;
  std::size_t at_ = 0, end_ = 0;
};

struct Bar : HistoryProgress {
  int value = 0;
  void setRange(int, int) override {}
  int position() const override { return value; }
  int maximum() const override { return 100; }
  void setPosition(int p) override { value = p; }
  void step() override { value += 10; }
  void repaint() override {}
};

void PerBlock(benchmark::State &state) {
  state.counters["per_block"] = benchmark::Counter(static_cast<double>(Blocks),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * HistoryArea::Capacity);
}

void BM_ReadHistoryInstant(benchmark::State &state) {
  auto stack = std::make_shared<InstantInstrument>();
  IrdaTransport link(stack);
  link.ProcessMessages = [] {};
  HistoryArea area;
  Bar bar;
  for (auto _ : state) {
    stack->Rewind();
    const int result = ReadHistory(link, 100, area.HistoryData, area.HistoryLength, &bar);
    if (result != 0 || area.HistoryLength != HistoryArea::Capacity)
      state.SkipWithError("transfer failed");
    benchmark::DoNotOptimize(area.HistoryData.data());
  }
  PerBlock(state);
}
BENCHMARK(BM_ReadHistoryInstant)->Unit(benchmark::kMillisecond);

// The baseline: each request sent and its reply taken off the instant stack,
// with nothing of the program in between.
void BM_InstantStackAlone(benchmark::State &state) {
  InstantInstrument stack;
  const std::uint8_t request[5] = {0x55, 0x04, 'H', 0x01, 0x00};
  std::uint8_t reply[256];
  for (auto _ : state) {
    stack.Rewind();
    for (int b = 0; b < Blocks; ++b) {
      stack.Send(100, request, sizeof request);
      int got = 0;
      for (int n; (n = stack.Receive(100, reply + got, int(sizeof reply) - got)) > 0;)
        got += n;
      benchmark::DoNotOptimize(reply);
    }
  }
  PerBlock(state);
}
BENCHMARK(BM_InstantStackAlone)->Unit(benchmark::kMillisecond);

// The same through the scripted fake, whose queues copy every block once more.
void BM_ReadHistoryScriptedFake(benchmark::State &state) {
  std::vector<std::size_t> starts;
  const std::vector<std::uint8_t> stream = FullHistoryStream(starts);
  HistoryArea area;
  for (auto _ : state) {
    auto stack = std::make_shared<FakeIrdaStack>();
    int block = 0;
    stack->Responder = [&](std::span<const std::uint8_t>, FakeIrdaStack &s) {
      s.Queue(std::vector<std::uint8_t>(stream.begin() + static_cast<std::ptrdiff_t>(starts[block]),
                                        stream.begin() +
                                            static_cast<std::ptrdiff_t>(starts[block + 1])));
      ++block;
      s.Sends.clear();
      s.ReceiveSizes.clear();
    };
    IrdaTransport link(stack);
    if (ReadHistory(link, 100, area.HistoryData, area.HistoryLength, nullptr) != 0)
      state.SkipWithError("transfer failed");
  }
  PerBlock(state);
}
BENCHMARK(BM_ReadHistoryScriptedFake)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
