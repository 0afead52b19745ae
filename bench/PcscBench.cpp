// The Mifare driver on a PC/SC reader: the virtual reader of the private pcscd that bench.sh runs
// the benchmarks beside (scripts/private-pcscd.sh; without it these are not registered). An
// operator's Wrkey and Rdkey click to caption; the APDUs a write and a read send against the
// least they need; and the driver's write over a bare client's time for the same APDUs.
#include <benchmark/benchmark.h>
#include <winscard.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchTable.h"
#include "bench/EmulatedWindow.h"
#include "card/CardData.h"
#include "drivers/MSRD_MIF/MSRD_MIF.h"

namespace keycard::bench {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;

constexpr double kClickGoalMicroseconds = 10'000;
constexpr double kOverBareGoal = 1.2;
// A verified write: the UID, load the key, authenticate, two updates, the UID again (the card
// read back must be the one written), two reads; a read: the UID, the key, authenticate, two
// reads.
constexpr std::size_t kLeastWriteApdus = 8;
constexpr std::size_t kLeastReadApdus = 5;

// The emulator logs each reply just after sending it.
void letTheLogCatchUp() {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void clickOnPcsc(benchmark::State& state, const char* button, const char* okCaption,
                 const char* name) {
  EmulatedWindow window(ReaderKind::PcscMifare, "mifare1k", false);
  window.click("butWr");  // a read needs a written card
  std::vector<double> microseconds;
  for (auto _ : state) {
    const auto took = window.click(button);
    if (!window.caption().startsWith(QString::fromLatin1(okCaption))) {
      state.SkipWithError(("click failed: " + window.caption().toStdString()).c_str());
      return;
    }
    microseconds.push_back(duration<double, std::micro>(took).count());
  }
  const Percentiles p = percentiles(microseconds);
  state.counters["median_us"] = p.median;
  addRow({std::string(name) + ", Mifare 1K on the virtual PC/SC reader, click to caption",
          "median " + formatMicroseconds(p.median) + ", p99 " + formatMicroseconds(p.p99),
          "median < 10 ms", p.median < kClickGoalMicroseconds});
}

// What any small PC/SC client would do for the driver's key-card write: connect, read the ATR,
// the same nine APDUs, disconnect.
class BareClient {
 public:
  explicit BareClient(const char* reader) : reader_(reader) {
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_) != SCARD_S_SUCCESS) {
      throw std::runtime_error("the bare client cannot reach pcscd");
    }
  }
  BareClient(const BareClient&) = delete;
  BareClient& operator=(const BareClient&) = delete;
  ~BareClient() { SCardReleaseContext(context_); }

  bool write(const std::array<std::uint8_t, 24>& record) {
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    if (SCardConnect(context_, reader_, SCARD_SHARE_EXCLUSIVE,
                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol) != SCARD_S_SUCCESS) {
      return false;
    }
    std::array<std::uint8_t, MAX_ATR_SIZE> atr{};
    DWORD atrLength = atr.size();
    DWORD state = 0;
    DWORD nameLength = 0;
    bool ok = SCardStatus(card, nullptr, &nameLength, &state, &protocol, atr.data(), &atrLength) ==
              SCARD_S_SUCCESS;
    const SCARD_IO_REQUEST pci{protocol, sizeof(SCARD_IO_REQUEST)};
    std::vector<std::uint8_t> head{0xFF, 0xD6, 0x00, 0x04, 0x10};
    head.insert(head.end(), record.begin(), record.begin() + 16);
    std::vector<std::uint8_t> tail{0xFF, 0xD6, 0x00, 0x05, 0x10};
    tail.insert(tail.end(), record.begin() + 16, record.end());
    tail.resize(tail.size() + 8);
    const std::vector<std::uint8_t> authenticate{0xFF, 0x86, 0x00, 0x00, 0x05,
                                                 0x01, 0x00, 0x04, 0x60, 0x00};
    const std::vector<std::uint8_t> getUid{0xFF, 0xCA, 0x00, 0x00, 0x00};
    const std::vector<std::vector<std::uint8_t>> apdus = {
        getUid,
        {0xFF, 0x82, 0x00, 0x00, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        authenticate,
        head,
        tail,
        getUid,
        authenticate,
        {0xFF, 0xB0, 0x00, 0x04, 0x10},
        {0xFF, 0xB0, 0x00, 0x05, 0x10}};
    for (const auto& apdu : apdus) {
      std::array<std::uint8_t, 258> reply{};
      DWORD length = reply.size();
      ok = ok &&
           SCardTransmit(card, &pci, apdu.data(), apdu.size(), nullptr, reply.data(), &length) ==
               SCARD_S_SUCCESS &&
           length >= 2 && reply[length - 2] == 0x90;
    }
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    return ok;
  }

 private:
  const char* reader_;
  SCARDCONTEXT context_ = 0;
};

void driverOverBareClient(benchmark::State& state) {
  EmulatedWindow window(ReaderKind::PcscMifare, "mifare1k", false);  // opened through the window
  const std::int32_t handle = CardData::CommHandle;
  std::array<std::uint8_t, 24> record{};
  for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(i + 1);
  std::intptr_t cell = reinterpret_cast<std::intptr_t>(record.data());
  const auto driverWrite = [&] { return ::wrkey_mif1(handle, &cell) == 0; };

  letTheLogCatchUp();
  window.traffic();
  const bool counted = driverWrite();
  letTheLogCatchUp();
  const std::size_t writeApdus = window.traffic().commands;
  const bool read = ::rdkey_mif1(handle, &cell) == 0;
  letTheLogCatchUp();
  const std::size_t readApdus = window.traffic().commands;
  if (!counted || !read) {
    state.SkipWithError("the driver's write or read failed");
    return;
  }

  BareClient bare("Virtual PCD 00 00");
  std::vector<double> driverMicroseconds;
  std::vector<double> bareMicroseconds;
  bool alternate = false;
  for (auto _ : state) {
    // Taken in turns, so that both see the same machine.
    for (int turn = 0; turn < 2; ++turn) {
      const bool driver = (turn == 0) != alternate;
      const auto start = Clock::now();
      const bool ok = driver ? driverWrite() : bare.write(record);
      const double took = duration<double, std::micro>(Clock::now() - start).count();
      if (!ok) {
        state.SkipWithError(driver ? "the driver's write failed" : "the bare client's failed");
        return;
      }
      (driver ? driverMicroseconds : bareMicroseconds).push_back(took);
    }
    alternate = !alternate;
  }
  const double driverMedian = percentiles(driverMicroseconds).median;
  const double bareMedian = percentiles(bareMicroseconds).median;
  state.counters["over_bare"] = driverMedian / bareMedian;
  addRow({"PC/SC APDUs per key-card write / read (the least they need)",
          std::to_string(writeApdus) + " / " + std::to_string(readApdus) + " (" +
              std::to_string(kLeastWriteApdus) + " / " + std::to_string(kLeastReadApdus) + ")",
          "at most one more",
          writeApdus <= kLeastWriteApdus + 1 && readApdus <= kLeastReadApdus + 1});
  char value[160];
  std::snprintf(value, sizeof value, "%.2f (driver median %s, bare client %s)",
                driverMedian / bareMedian, formatMicroseconds(driverMedian).c_str(),
                formatMicroseconds(bareMedian).c_str());
  addRow({"PC/SC key-card write, driver time / a bare client's for the same APDUs", value, "≤ 1.2",
          driverMedian / bareMedian <= kOverBareGoal});
}

// Registered only beside a private pcscd.
[[maybe_unused]] const bool kRegistered = [] {
  if (std::getenv("KEYCARD_VPCD_PORT") == nullptr) return false;
  benchmark::RegisterBenchmark("clickOnPcsc/write", clickOnPcsc, "butWr", "Wr OK ",
                               "Key-card write")
      ->Iterations(300)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("clickOnPcsc/read", clickOnPcsc, "butRd", "RD 4469 OK",
                               "Key-card read")
      ->Iterations(300)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("driverOverBareClient", driverOverBareClient)
      ->Iterations(300)
      ->Unit(benchmark::kMicrosecond);
  return true;
}();

}  // namespace
}  // namespace keycard::bench
