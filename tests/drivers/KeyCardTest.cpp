// Key cards through both drivers against the reader emulator: a blank card read and the worked
// record written, or the read and the write failing (no card, the wrong kind, another key, a card
// swapped mid-write) with their own codes within about a second, the caller's buffer and the card
// left as they were. A reader that misbehaves is the fault campaign's (tests/faults), through the
// window.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "emulator/card/CardFile.h"
#include "link/Errors.h"
#include "tests/drivers/DriverTestSupport.h"

namespace keycard::drivers::testing {
namespace {

using namespace keycard::link;
namespace emu = keycard::emulator;

struct KeyCardCase {
  const char* name;
  const Driver& driver;
  const char* cardType;  // "" for none
  const char* fault;     // "" for none; "otherkey": sector 1 has a key other than the factory's
  std::int32_t readResult;
  std::int32_t writeResult;
  bool wireDelay = false;
  int faultFrom = 1;  // the first request the fault spoils, the open's included; for "swap", the
                      // block write after which another card lies on the reader
  friend void PrintTo(const KeyCardCase& row, std::ostream* out) { *out << row.name; }
};

class KeyCardTest : public ::testing::TestWithParam<KeyCardCase> {};

TEST_P(KeyCardTest, ReadsWritesAndReadsBackOrFailsWithItsCode) {
  const KeyCardCase& row = GetParam();
  const bool otherKey = std::string(row.fault) == "otherkey";
  const Bench bench(row.driver.kind, row.cardType, otherKey ? "" : row.fault, row.wireDelay,
                    row.faultFrom);
  if (otherKey) keycard::testing::newCard(row.cardType, bench.card, std::nullopt, "A5A5A5A5A5A5");
  const std::int32_t handle = row.driver.open();
  ASSERT_GE(handle, 0);
  readThenWriteWorkedRecord(row.driver, handle, bench.card, row.readResult, row.writeResult);
  row.driver.close(handle);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyCardTest,
    ::testing::Values(
        KeyCardCase{"T5557", kProximity, "t5557", "", 0, 0},
        KeyCardCase{"NoCard", kProximity, "", "", kErrNoCard, kErrNoCard},
        KeyCardCase{"MifareCard", kProximity, "mifare1k", "", kErrCardKind, kErrCardKind},
        KeyCardCase{"MifareT5557Card", kMifare, "t5557", "", kErrCardKind, kErrCardKind},
        KeyCardCase{"MifareOtherKey", kMifare, "mifare1k", "otherkey", kErrAuth, kErrAuth},
        // Another card in the field between two block writes is unselected, so the rest of the
        // write is refused (one swapped in after the last is the fault campaign's).
        KeyCardCase{"SwappedMidWrite", kProximity, "t5557", "swap", 0, kErrNoCard, false, 3},
        KeyCardCase{"MifareSwappedMidWrite", kMifare, "mifare1k", "swap", 0, kErrNoCard, false, 1},
        // The board sleeps until the open wakes it, as a real one does after power-on.
        KeyCardCase{"Pn532AtWireSpeed", kPn532, "mifare1k", "", 0, 0, true},
        KeyCardCase{"Pn532NoCard", kPn532, "", "", kErrNoCard, kErrNoCard},
        KeyCardCase{"Pn532OtherKey", kPn532, "mifare1k", "otherkey", kErrAuth, kErrAuth},
        KeyCardCase{"Pn532Ultralight", kPn532, "ultralight", "", kErrCardKind, kErrCardKind}),
    [](const auto& row) { return std::string(row.param.name); });

// A write whose read-back fails is reported with the read-back's error: never as written, and
// never as a card that holds something else.
TEST(KeyCardReadBack, AFailedReadBackIsReportedAsItsOwnError) {
  // The open's request, the select and the six record blocks are answered soundly; the
  // read-back's select is the first to meet the fault.
  const Bench bench("proximity", "t5557", "corrupt", false, 9);
  ASSERT_EQ(kProximity.open(), 0);
  KeyCard buffer = kWorkedRecord;
  EXPECT_EQ(kProximity.write(0, buffer), kErrFrame);
  EXPECT_EQ(keycard::testing::cardRecord(bench.card), emu::toHex(kWorkedRecord));
  kProximity.close(0);
}

// Unset, KEYCARD_MIFARE_READER lets the open find the reader on the port: each kind is found
// after the other was asked first (the kind found last on the port is), answers soundly after
// the other's request, and a port where nothing answers fails within the operation's time.
TEST(MifareAutoOpen, FindsTheSerialReaderOrAPn532BoardAndGivesUpOnSilence) {
  const keycard::testing::ScopedEnv choice("KEYCARD_MIFARE_READER", "");
  const struct {
    const char* kind;
    const char* fault;
    std::int32_t result;  // of the open; 0 for a handle
  } rows[] = {
      {"pn532", "", 0},
      {"mifare", "", 0},
      {"pn532", "", 0},
      {"pn532", "silent", kErrTimeout},
      {"mifare", "silent", kErrTimeout},
      {"mifare", "", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.kind) + " " + row.fault);
    const Bench bench(row.kind, "mifare1k", row.fault);
    const std::int32_t handle = promptly(openMifareCom1, std::chrono::milliseconds(1500));
    if (row.result != 0) {
      EXPECT_EQ(handle, row.result);
      continue;
    }
    ASSERT_GT(handle, 0);
    KeyCard buffer = kWorkedRecord;
    EXPECT_EQ(promptly([&] { return kMifare.read(handle, buffer); }), 0);
    EXPECT_EQ(buffer, KeyCard{});
    EXPECT_EQ(dv_beep(handle, 1), 0);  // a PN532 board has no buzzer and says so with 0
    closecomm(handle);
  }
}

}  // namespace
}  // namespace keycard::drivers::testing
