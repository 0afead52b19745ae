// An operator's click on Wrkey or Rdkey until the caption shows, through the real driver over a
// pseudo-terminal to the reader emulator: at full speed (what our own code costs) and with the
// emulator taking each exchange's time at its line's baud rate (how close we come to the line's own
// time).
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchTable.h"
#include "bench/EmulatedWindow.h"
#include "link/Protocol.h"

namespace keycard::bench {
namespace {

using std::chrono::duration;

struct ClickCase {
  const char* name;
  ReaderKind kind;
  const char* cardType;
  const char* button;
  const char* okCaption;  // what a successful click shows first
};

constexpr ClickCase kWriteEm4469{"Key-card write, EM4469 on the proximity reader",
                                 ReaderKind::Proximity, "em4469", "butWr", "Wr 4469 OK "};
constexpr ClickCase kReadEm4469{"Key-card read, EM4469 on the proximity reader",
                                ReaderKind::Proximity, "em4469", "butRd", "RD 4469 OK"};
constexpr ClickCase kWriteMifare{"Key-card write, Mifare 1K", ReaderKind::Mifare, "mifare1k",
                                 "butWr", "Wr OK "};
constexpr ClickCase kReadMifare{"Key-card read, Mifare 1K", ReaderKind::Mifare, "mifare1k", "butRd",
                                "RD 4469 OK"};

constexpr ClickCase kWritePn532{"Key-card write, Mifare 1K on a PN532 board",
                                ReaderKind::Pn532Mifare, "mifare1k", "butWr", "Wr OK "};
constexpr ClickCase kReadPn532{"Key-card read, Mifare 1K on a PN532 board", ReaderKind::Pn532Mifare,
                               "mifare1k", "butRd", "RD 4469 OK"};

constexpr double kOwnTimeGoalMicroseconds = 1000;
constexpr double kWireRatioGoal = 1.05;
// A PN532 exchange is two frames from the board (ACK, answer) for each of ours, short ones, so
// the fixed cost of every hop weighs more against 87 µs a byte than against 1 ms.
constexpr double kPn532WireRatioGoal = 1.1;

// 8N1: ten bits a byte.
duration<double> byteTime(ReaderKind kind) {
  const double baud = kind == ReaderKind::Pn532Mifare ? link::kPn532BaudRate : link::kBaudRate;
  return duration<double>(10.0 / baud);
}

// Window, handler and driver library all run in this process; the emulator in its own.
double processCpuMicroseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// A read needs a card that was written; one write first serves both.
void prepareCard(EmulatedWindow& window) {
  window.click("butWr");
}

void clickAtFullSpeed(benchmark::State& state, const ClickCase& c) {
  EmulatedWindow window(c.kind, c.cardType, false);
  prepareCard(window);
  std::vector<double> microseconds;
  std::vector<double> cpuMicroseconds;
  for (auto _ : state) {
    const double cpuBefore = processCpuMicroseconds();
    const auto took = window.click(c.button);
    cpuMicroseconds.push_back(processCpuMicroseconds() - cpuBefore);
    if (!window.caption().startsWith(QString::fromLatin1(c.okCaption))) {
      state.SkipWithError(("click failed: " + window.caption().toStdString()).c_str());
      return;
    }
    microseconds.push_back(duration<double, std::micro>(took).count());
  }
  const Percentiles p = percentiles(microseconds);
  const Percentiles cpu = percentiles(cpuMicroseconds);
  state.counters["median_us"] = p.median;
  state.counters["p99_us"] = p.p99;
  state.counters["cpu_median_us"] = cpu.median;
  addRow({std::string(c.name) + ", click to caption",
          "median " + formatMicroseconds(p.median) + ", p99 " + formatMicroseconds(p.p99) +
              " (window process's CPU: median " + formatMicroseconds(cpu.median) + ")",
          "median < 1 ms", p.median < kOwnTimeGoalMicroseconds});
}

void clickOnTheWire(benchmark::State& state, const ClickCase& c) {
  EmulatedWindow window(c.kind, c.cardType, true);
  prepareCard(window);
  std::vector<double> ratios;
  for (auto _ : state) {
    const auto took = window.click(c.button);
    state.PauseTiming();
    if (!window.caption().startsWith(QString::fromLatin1(c.okCaption))) {
      state.SkipWithError(("click failed: " + window.caption().toStdString()).c_str());
      return;
    }
    // The emulator logs each reply just after sending it.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::size_t bytes = window.traffic().bytes;
    const duration<double> lineTime = static_cast<double>(bytes) * byteTime(c.kind);
    ratios.push_back(duration<double>(took) / lineTime);
    state.counters["bytes"] = static_cast<double>(bytes);
    state.ResumeTiming();
  }
  const Percentiles p = percentiles(ratios);
  state.counters["ratio"] = p.median;
  const bool pn532 = c.kind == ReaderKind::Pn532Mifare;
  const char* const baud = pn532 ? "115200" : "9600";
  const double goal = pn532 ? kPn532WireRatioGoal : kWireRatioGoal;
  char value[160];
  std::snprintf(value, sizeof value, "%.3f of the time its %.0f bytes take at %s baud", p.median,
                state.counters["bytes"].value, baud);
  char goalText[16];
  std::snprintf(goalText, sizeof goalText, "≤ %.2f", goal);
  addRow({std::string(c.name) + " at " + baud + " baud, time / bytes' time (median)", value,
          goalText, p.median <= goal});
}

// The frames the driver sends a PN532 board for one write click and one read click, each after
// an earlier operation, against the least a verified write (list, authenticate, write two
// blocks, read them) and a read (list, authenticate, read two) need.
void pn532Frames(benchmark::State& state) {
  constexpr std::size_t kLeastWrite = 6;
  constexpr std::size_t kLeastRead = 4;
  EmulatedWindow window(ReaderKind::Pn532Mifare, "mifare1k", false);
  prepareCard(window);
  std::size_t write = 0;
  std::size_t read = 0;
  for (auto _ : state) {
    window.traffic();
    window.click("butWr");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    write = window.traffic().commands;
    window.click("butRd");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    read = window.traffic().commands;
  }
  state.counters["write_frames"] = static_cast<double>(write);
  state.counters["read_frames"] = static_cast<double>(read);
  addRow({"PN532 frames per key-card write / read (the least they need)",
          std::to_string(write) + " / " + std::to_string(read) + " (" +
              std::to_string(kLeastWrite) + " / " + std::to_string(kLeastRead) + ")",
          "at most 2 / 0 more (the read-back lists the card afresh)",
          write <= kLeastWrite + 2 && read <= kLeastRead});
}

BENCHMARK_CAPTURE(clickAtFullSpeed, write_em4469, kWriteEm4469)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(clickAtFullSpeed, read_em4469, kReadEm4469)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(clickAtFullSpeed, write_mifare, kWriteMifare)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(clickAtFullSpeed, read_mifare, kReadMifare)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(clickAtFullSpeed, write_pn532, kWritePn532)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(clickAtFullSpeed, read_pn532, kReadPn532)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(clickOnTheWire, write_em4469, kWriteEm4469)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(clickOnTheWire, read_em4469, kReadEm4469)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(clickOnTheWire, write_mifare, kWriteMifare)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(clickOnTheWire, read_mifare, kReadMifare)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(clickOnTheWire, write_pn532, kWritePn532)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(clickOnTheWire, read_pn532, kReadPn532)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(pn532Frames)->Iterations(1);

}  // namespace
}  // namespace keycard::bench
