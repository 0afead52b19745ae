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
#include "reader/MF_API.h"
#include "reader/msrd_mif.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::bench {
namespace {

using KeyCard = std::array<unsigned char, 24>;

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

// One reader's driver as the window calls it. `open` gives the handle (0 for the proximity
// reader, whose driver ignores it), or a negative value on failure.
struct Driver {
  const char* name;
  const char* kind;
  const char* cardType;
  std::int32_t (*open)();
  std::int32_t (*write)(std::int32_t handle, KeyCard& image);
  std::int32_t (*read)(std::int32_t handle, KeyCard& image);
  void (*close)(std::int32_t handle);
};

const Driver kProximity{
    "proximity driver",
    "proximity",
    "em4469",
    [] { return MF_API::MF_InitComm("COM1", 9600); },
    [](std::int32_t, KeyCard& image) { return MF_API::T5557_WriteCard(0, image.data()); },
    [](std::int32_t, KeyCard& image) { return MF_API::T5557_ReadCard(0, image.data()); },
    [](std::int32_t) { MF_API::MF_ExitComm(); }};

const Driver kMifare{"Mifare driver",
                     "mifare",
                     "mifare1k",
                     [] {
                       std::int32_t port = 0;
                       return msrd_mif::auto_open(&port);
                     },
                     [](std::int32_t handle, KeyCard& image) {
                       auto cell = reinterpret_cast<std::intptr_t>(image.data());
                       return msrd_mif::wrkey_mif1(handle, &cell);
                     },
                     [](std::int32_t handle, KeyCard& image) {
                       auto cell = reinterpret_cast<std::intptr_t>(image.data());
                       return msrd_mif::rdkey_mif1(handle, &cell);
                     },
                     [](std::int32_t handle) { msrd_mif::closecomm(handle); }};

// One card issued and checked: true when the write and the read succeeded and agree.
bool cycle(const Driver& driver, std::int32_t handle, KeyCard& image, int serial) {
  image[7] = static_cast<unsigned char>(serial);
  KeyCard back{};
  return driver.write(handle, image) == 0 && driver.read(handle, back) == 0 && back == image;
}

void writeAndReadTenThousandCards(benchmark::State& state, const Driver& driver) {
  testing::TempDir dir;
  testing::ScopedPortDir portDir(dir.path());
  testing::newCard(driver.cardType, dir / "card");
  testing::EmulatorOptions options;
  options.kind = driver.kind;
  options.card = dir / "card";
  options.portDir = dir.path();
  testing::EmulatorProcess reader(options);
  const std::int32_t handle = driver.open();
  if (handle < 0) {
    state.SkipWithError("the driver did not open the emulated reader");
    return;
  }
  KeyCard image{0x01, 0x33, 0x30, 0x33, 0x01, 0x01, 0x01, 0x01, 0x00, 0x06, 0x07, 0x18,
                0x12, 0x00, 0x06, 0x07, 0x19, 0x12, 0x00, 0x00, 0x00, 0x23, 0x59, 0x00};
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
    const std::string what = std::string("10,000 key-card write-and-read cycles, ") + driver.name;
    addRow({what + ": memory growth",
            formatNumber(growth) + " kB (" + std::to_string(failed) + " cycles failed)", "< 1 MB",
            growth < kGrowthGoalKilobytes && failed == 0});
    addRow({what + ": open descriptors before / after",
            std::to_string(descriptorsBefore) + " / " + std::to_string(descriptorsAfter),
            "unchanged", descriptorsBefore == descriptorsAfter});
  }
  driver.close(handle);
}

BENCHMARK_CAPTURE(writeAndReadTenThousandCards, proximity, kProximity)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(writeAndReadTenThousandCards, mifare, kMifare)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace keycard::bench
