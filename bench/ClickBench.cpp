// An operator's click on Wrkey or Rdkey until the caption shows, through the real driver over a
// pseudo-terminal to the reader emulator: at full speed (what our own code costs) and with the
// emulator taking each exchange's time at 9600 baud (how close we come to the line's own time).
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

constexpr double kOwnTimeGoalMicroseconds = 1000;
constexpr double kWireRatioGoal = 1.05;

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
    const duration<double> lineTime = bytes * link::kByteTime;
    ratios.push_back(duration<double>(took) / lineTime);
    state.counters["bytes"] = static_cast<double>(bytes);
    state.ResumeTiming();
  }
  const Percentiles p = percentiles(ratios);
  state.counters["ratio"] = p.median;
  char value[160];
  std::snprintf(value, sizeof value, "%.3f of the time its %.0f bytes take at 9600 baud", p.median,
                state.counters["bytes"].value);
  addRow({std::string(c.name) + " at 9600 baud, time / bytes' time (median)", value, "≤ 1.05",
          p.median <= kWireRatioGoal});
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

}  // namespace
}  // namespace keycard::bench
