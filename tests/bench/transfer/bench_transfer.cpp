// A full history (266,340 bytes in 1,332 blocks) read through ReadHistory, each
// figure against its baseline in the same run:
//  - from the simulator process over loopback, through the options library and
//    the virtual IrDA stack, against a bare request/reply ping-pong of the same
//    frame sizes over loopback (goal: at most 2 times);
//  - from a stack that delivers each reply only after request and reply would
//    have crossed a 115.2 kbit/s link, against waiting those same delays alone
//    (goal: at most 1.05 times).
// The table at the end gives each ratio.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "FakeIrdaStack.h"
#include "SimulatorProcess.h"
#include "link/HistoryArea.h"
#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"
#include "link/VirtualIrdaStack.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int RequestBytes = 5;
constexpr int BlockData = 200;
constexpr int Blocks = (HistoryArea::Capacity + BlockData - 1) / BlockData; // 1,332
constexpr double LinkBitsPerSecond = 115200.0;

// Data bytes of history block `index` (the last one is short).
int BlockDataBytes(int index) {
  return std::min(BlockData, HistoryArea::Capacity - index * BlockData);
}

// The time request and reply of one exchange take on the infrared link:
// 10 bits per byte (start, 8 data, stop).
Clock::duration WireTime(int bytes) {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(bytes * 10 / LinkBitsPerSecond));
}

Clock::duration BlockWireTime(int index) {
  return WireTime(RequestBytes + BlockDataBytes(index) + 5);
}

// Waits until `deadline`: sleeps most of the way and spins the rest, so the
// wait is exact without keeping a core busy.
void WaitUntil(Clock::time_point deadline) {
  const auto spinFrom = deadline - std::chrono::microseconds(200);
  if (Clock::now() < spinFrom)
    std::this_thread::sleep_until(spinFrom);
  while (Clock::now() < deadline) {
  }
}

// The exchange window's progress bar; the repaint costs nothing here.
struct ProgressBar : HistoryProgress {
  int value = 0;
  void setRange(int, int) override {}
  int position() const override { return value; }
  int maximum() const override { return 100; }
  void setPosition(int position) override { value = position; }
  void step() override { value += 10; }
  void repaint() override {}
};

void ProcessMessages() {
  QCoreApplication::processEvents();
}

// One full transfer through ReadHistory as the exchange window runs it.
void TransferOnce(benchmark::State &state, IrdaTransport &link, IrdaSocket socket,
                  HistoryArea &area) {
  ProgressBar bar;
  if (ReadHistory(link, socket, area.HistoryData, area.HistoryLength, &bar) != LinkOk ||
      area.HistoryLength != HistoryArea::Capacity)
    state.SkipWithError("the transfer failed");
  benchmark::DoNotOptimize(area.HistoryData.data());
}

void PerTransfer(benchmark::State &state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * HistoryArea::Capacity);
  state.counters["blocks"] = Blocks;
}

// (a) From the simulator process over loopback.
void BM_HistoryFromSimulator(benchmark::State &state) {
  SimulatorProcess simulator({"--events", "13317"});
  if (!simulator.isRunning()) {
    state.SkipWithError("the simulator did not start");
    return;
  }
  VirtualIrdaConfig config;
  config.Endpoints = std::vector<std::string>{simulator.endpoint().toStdString()};
  config.LibraryFolder = VX_BIN_DIR;
  IrdaTransport link(std::make_shared<VirtualIrdaStack>(config));
  link.ProcessMessages = ProcessMessages;
  IrdaSocket socket = 0;
  SOCKADDR_IRDA address;
  DEVICELIST devices;
  if (link.IrdaOpen(address, socket) != IrdaSocketCreated ||
      link.IrdaFindDevices(devices, socket) != LinkOk ||
      link.IrdaConnect(0, socket, devices, address) != LinkOk) {
    state.SkipWithError("no connection to the simulator");
    link.IrdaClose(socket);
    return;
  }
  HistoryArea area;
  for (auto _ : state)
    TransferOnce(state, link, socket, area);
  link.IrdaClose(socket);
  PerTransfer(state);
}
BENCHMARK(BM_HistoryFromSimulator)->Unit(benchmark::kMillisecond)->UseRealTime();

// A bare peer on loopback: answers every five-byte request with a frame of the
// size of the next history block, straight from memory.
class PingPongPeer {
public:
  PingPongPeer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    address_.sin_family = AF_INET;
    address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address_;
    if (bind(listener_, reinterpret_cast<sockaddr *>(&address_), size) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr *>(&address_), &size) != 0)
      return;
    listening_ = true;
    thread_ = std::thread([this] { Serve(); });
  }
  ~PingPongPeer() {
    shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable())
      thread_.join();
    close(listener_);
  }
  // A client socket connected to the peer, or -1.
  int Connect() const {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (listening_ &&
        connect(fd, reinterpret_cast<const sockaddr *>(&address_), sizeof address_) == 0)
      return fd;
    close(fd);
    return -1;
  }

private:
  void Serve() {
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0)
      return;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::uint8_t reply[HistoryBlockSize] = {FrameStart, 0, CmdReadHistory, 0x01};
    std::uint8_t request[RequestBytes];
    for (int block = 0; ReceiveAll(fd, request, RequestBytes); block = (block + 1) % Blocks) {
      const int length = BlockDataBytes(block) + 5;
      reply[1] = static_cast<std::uint8_t>(length - 1);
      if (send(fd, reply, static_cast<std::size_t>(length), MSG_NOSIGNAL) != length)
        break;
    }
    close(fd);
  }

public:
  static bool ReceiveAll(int fd, std::uint8_t *into, int count) {
    for (int got = 0; got < count;) {
      const ssize_t n = recv(fd, into + got, static_cast<std::size_t>(count - got), 0);
      if (n <= 0)
        return false;
      got += static_cast<int>(n);
    }
    return true;
  }

private:
  int listener_ = -1;
  sockaddr_in address_{};
  bool listening_ = false;
  std::thread thread_;
};

// (a) baseline: the same frames as a bare ping-pong over loopback.
void BM_PingPongLoopback(benchmark::State &state) {
  PingPongPeer peer;
  const int fd = peer.Connect();
  if (fd < 0) {
    state.SkipWithError("no connection to the peer");
    return;
  }
  const std::uint8_t request[RequestBytes] = {0x55, 0x04, 0x48, 0x01, 0x74};
  std::uint8_t reply[HistoryBlockSize];
  for (auto _ : state) {
    for (int block = 0; block < Blocks; ++block) {
      if (send(fd, request, RequestBytes, MSG_NOSIGNAL) != RequestBytes ||
          !PingPongPeer::ReceiveAll(fd, reply, 2) ||
          !PingPongPeer::ReceiveAll(fd, reply + 2, reply[1] - 1)) {
        state.SkipWithError("the ping-pong failed");
        break;
      }
    }
    benchmark::DoNotOptimize(reply);
  }
  close(fd);
  PerTransfer(state);
}
BENCHMARK(BM_PingPongLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();

// A stack whose instrument answers each history request with the next block,
// but only once request and reply would have crossed a 115.2 kbit/s link.
class InfraredPacedStack : public FakeIrdaStack {
public:
  int Send(IrdaSocket, const void *, int length) override {
    const int data = BlockDataBytes(block_);
    const bool last = block_ == Blocks - 1;
    frame_[1] = static_cast<std::uint8_t>(data + 4);
    frame_[2] = last ? 'I' : CmdReadHistory;
    std::memset(frame_ + 4, block_ & 0xFF, static_cast<std::size_t>(data));
    frame_[data + 4] = FrameChecksum(frame_, data + 4);
    frameLength_ = data + 5;
    at_ = 0;
    ready_ = Clock::now() + WireTime(length + frameLength_);
    block_ = last ? 0 : block_ + 1;
    return length;
  }
  int Receive(IrdaSocket, void *data, int length) override {
    WaitUntil(ready_);
    const int n = std::min(length, frameLength_ - at_);
    std::memcpy(data, frame_ + at_, static_cast<std::size_t>(n));
    at_ += n;
    return n;
  }

private:
  std::uint8_t frame_[HistoryBlockSize] = {FrameStart, 0, 0, 0x01};
  int frameLength_ = 0, at_ = 0, block_ = 0;
  Clock::time_point ready_;
};

// (b) Against the paced stack.
void BM_HistoryAt115200(benchmark::State &state) {
  IrdaTransport link(std::make_shared<InfraredPacedStack>());
  link.ProcessMessages = ProcessMessages;
  HistoryArea area;
  for (auto _ : state)
    TransferOnce(state, link, 100, area);
  PerTransfer(state);
}
BENCHMARK(BM_HistoryAt115200)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// The 1,332 link delays of a full history, added up.
double SumOfWireTimes() {
  Clock::duration total{};
  for (int block = 0; block < Blocks; ++block)
    total += BlockWireTime(block);
  return std::chrono::duration<double>(total).count();
}

// (b) baseline: the 1,332 link delays alone, waited the same way.
void BM_LinkDelaysAt115200(benchmark::State &state) {
  for (auto _ : state) {
    for (int block = 0; block < Blocks; ++block)
      WaitUntil(Clock::now() + BlockWireTime(block));
  }
  state.counters["sum_of_delays_s"] = SumOfWireTimes();
}
BENCHMARK(BM_LinkDelaysAt115200)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// Prints the usual console output and, at the end, each figure against its
// baseline (the median when repetitions were asked for).
class RatioReporter : public benchmark::ConsoleReporter {
public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.error_occurred || run.iterations <= 0)
        continue;
      const std::string &name = run.run_name.function_name;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median || (run.run_type == Run::RT_Iteration && !medians_.count(name))) {
        seconds_[name] = run.real_accumulated_time / static_cast<double>(run.iterations);
        if (median)
          medians_.insert(name);
      }
    }
  }

  void PrintRatios() {
    seconds_["sum of the 1,332 delays"] = SumOfWireTimes();
    struct Figure {
      const char *name, *baseline;
      double goal;
    };
    const Figure figures[] = {{"BM_HistoryFromSimulator", "BM_PingPongLoopback", 2.0},
                              {"BM_HistoryAt115200", "BM_LinkDelaysAt115200", 1.05},
                              {"BM_HistoryAt115200", "sum of the 1,332 delays", 1.05}};
    std::printf("\n%-24s %10s  %-24s %10s  %6s %5s %s\n", "figure", "time", "baseline", "time",
                "ratio", "goal", "met");
    for (const Figure &f : figures) {
      const auto a = seconds_.find(f.name), b = seconds_.find(f.baseline);
      if (a == seconds_.end() || b == seconds_.end())
        continue;
      const double ratio = a->second / b->second;
      std::printf("%-24s %8.3f s  %-24s %8.3f s  %6.3f %5.2f %s\n", f.name, a->second, f.baseline,
                  b->second, ratio, f.goal, ratio <= f.goal ? "yes" : "no");
    }
  }

private:
  std::map<std::string, double> seconds_;
  std::set<std::string> medians_;
};

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
