// A long shift at the counter: ten thousand key cards written and read back through each reader's
// driver. Neither memory nor open descriptors may creep up.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchTable.h"
#include "tests/drivers/DriverTestSupport.h"

namespace keycard::bench {
namespace {

using drivers::testing::Bench;
using drivers::testing::Driver;
using drivers::testing::KeyCard;

constexpr int kCycles = 10'000;
constexpr int kWarmUpCycles = 100;  // the library loaded, the first allocations made
constexpr double kGrowthGoalKilobytes = 1024;

std::size_t openDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count - 1;  // the iterator's own
}

double residentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0;
  std::size_t resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

// One card issued and checked: true when the write and the read succeeded and agree.
bool cycle(const Driver& driver, std::int32_t handle, KeyCard& image, int serial) {
  image[7] = static_cast<unsigned char>(serial);
  KeyCard back{};
  return driver.write(handle, image) == 0 && driver.read(handle, back) == 0 && back == image;
}

// `cardType` the card on the reader, `name` the driver's name in the table.
void writeAndReadTenThousandCards(benchmark::State& state, const Driver& driver,
                                  const char* cardType, const char* name) {
  const Bench bench(driver.kind, cardType);
  const std::int32_t handle = driver.open();
  if (handle < 0) {
    state.SkipWithError("the driver did not open the emulated reader");
    return;
  }
  KeyCard image = testing::kWorkedRecord;
  for (int i = 0; i < kWarmUpCycles; ++i) cycle(driver, handle, image, i);

  for (auto _ : state) {
    const std::size_t descriptorsBefore = openDescriptors();
    const double residentBefore = residentKilobytes();
    int failed = 0;
    for (int i = 0; i < kCycles; ++i) {
      if (!cycle(driver, handle, image, i)) ++failed;
    }
    const double growth = residentKilobytes() - residentBefore;
    const std::size_t descriptorsAfter = openDescriptors();
    state.counters["rss_growth_kB"] = growth;
    state.counters["fd_before"] = static_cast<double>(descriptorsBefore);
    state.counters["fd_after"] = static_cast<double>(descriptorsAfter);
    state.counters["failed"] = failed;
    const std::string what = std::string("10,000 key-card write-and-read cycles, ") + name;
    addRow({what + ": memory growth",
            formatNumber(growth) + " kB (" + std::to_string(failed) + " cycles failed)", "< 1 MB",
            growth < kGrowthGoalKilobytes && failed == 0});
    addRow({what + ": open descriptors before / after",
            std::to_string(descriptorsBefore) + " / " + std::to_string(descriptorsAfter),
            "unchanged", descriptorsBefore == descriptorsAfter});
  }
  driver.close(handle);
}

BENCHMARK_CAPTURE(writeAndReadTenThousandCards, proximity, drivers::testing::kProximity, "em4469",
                  "proximity driver")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(writeAndReadTenThousandCards, mifare, drivers::testing::kMifare, "mifare1k",
                  "Mifare driver")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace keycard::bench
