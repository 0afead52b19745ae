// A long shift at the counter: ten thousand key cards written and read back through the proximity
// driver. Neither memory nor open descriptors may creep up.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchTable.h"
#include "EmulatorProcess.h"
#include "MF_API.h"

namespace keycard::bench {
namespace {

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

// One card issued and checked: 0 when both the write and the read succeeded and agree.
bool cycle(std::array<unsigned char, 24>& image, std::uint8_t serial) {
  image[7] = serial;
  std::array<unsigned char, 24> back{};
  return MF_API::T5557_WriteCard(0, image.data()) == 0 &&
         MF_API::T5557_ReadCard(0, back.data()) == 0 && back == image;
}

void writeAndReadTenThousandCards(benchmark::State& state) {
  testing::TempDir dir;
  testing::ScopedEnv portDir("KEYCARD_PORT_DIR", dir.path().string());
  testing::newCard("em4469", dir / "card");
  testing::EmulatorOptions options;
  options.card = dir / "card";
  options.portDir = dir.path();
  testing::EmulatorProcess reader(options);
  if (MF_API::MF_InitComm("COM1", 9600) != 0) {
    state.SkipWithError("the proximity driver did not open the emulated reader");
    return;
  }
  std::array<unsigned char, 24> image{0x01, 0x33, 0x30, 0x33, 0x01, 0x01, 0x01, 0x01,
                                      0x00, 0x06, 0x07, 0x18, 0x12, 0x00, 0x06, 0x07,
                                      0x19, 0x12, 0x00, 0x00, 0x00, 0x23, 0x59, 0x00};
  for (int i = 0; i < kWarmUpCycles; ++i) cycle(image, static_cast<std::uint8_t>(i));

  for (auto _ : state) {
    const std::size_t descriptorsBefore = openDescriptors();
    const double residentBefore = residentKilobytes();
    int failed = 0;
    for (int i = 0; i < kCycles; ++i) {
      if (!cycle(image, static_cast<std::uint8_t>(i))) ++failed;
    }
    const double growth = residentKilobytes() - residentBefore;
    const std::size_t descriptorsAfter = openDescriptors();
    state.counters["rss_growth_kB"] = growth;
    state.counters["fd_before"] = static_cast<double>(descriptorsBefore);
    state.counters["fd_after"] = static_cast<double>(descriptorsAfter);
    state.counters["failed"] = failed;
    addRow({"10,000 key-card write-and-read cycles, proximity driver: memory growth",
            formatNumber(growth) + " kB (" + std::to_string(failed) + " cycles failed)", "< 1 MB",
            growth < kGrowthGoalKilobytes && failed == 0});
    addRow({"10,000 key-card write-and-read cycles: open descriptors before / after",
            std::to_string(descriptorsBefore) + " / " + std::to_string(descriptorsAfter),
            "unchanged", descriptorsBefore == descriptorsAfter});
  }
  MF_API::MF_ExitComm();
}

BENCHMARK(writeAndReadTenThousandCards)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace keycard::bench
