// Key cards through both drivers: the worked record round trip, and every way a read or a write
// can fail (no card, the wrong kind, another key, a reader that misbehaves) ending with its own
// code within about a second, the caller's buffer and the card left alone.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "driver_test_support.h"
#include "errors.h"

namespace keycard::drivers::testing {
namespace {

using keycard::testing::cardBlock;
using keycard::testing::cardRecord;
using namespace keycard::link;

struct RoundTripCase {
  const char* name;
  const Driver& driver;
  const char* cardType;
  int fixedBlock;  // configuration, UID or sector trailer: the write must leave it alone
  bool wireDelay;
  friend void PrintTo(const RoundTripCase& row, std::ostream* out) { *out << row.name; }
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, WorkedRecordIsWrittenAndReadBack) {
  const RoundTripCase& row = GetParam();
  const Bench bench(row.driver.kind, row.cardType, "", row.wireDelay);
  const std::string fixedBefore = cardBlock(bench.card(), row.fixedBlock);
  const std::int32_t handle = row.driver.open();
  ASSERT_GE(handle, 0);
  KeyCard card = kWorkedRecord;
  EXPECT_EQ(row.driver.write(handle, card), 0);
  EXPECT_EQ(card, kWorkedRecord);
  EXPECT_EQ(cardRecord(bench.card()), kWorkedRecordHex);
  EXPECT_EQ(cardBlock(bench.card(), row.fixedBlock), fixedBefore);
  card = kUntouched;
  EXPECT_EQ(row.driver.read(handle, card), 0);
  EXPECT_EQ(card, kWorkedRecord);
  EXPECT_EQ(row.driver.close(handle), 0);
}

INSTANTIATE_TEST_SUITE_P(Cards, RoundTrip,
                         ::testing::Values(RoundTripCase{"T5557", kProximity, "t5557", 0, false},
                                           RoundTripCase{"EM4469", kProximity, "em4469", 1, false},
                                           RoundTripCase{"Mifare1K", kMifare, "mifare1k", 7, false},
                                           RoundTripCase{"T5557AtWireSpeed", kProximity, "t5557", 0,
                                                         true}),
                         [](const auto& row) { return std::string(row.param.name); });

std::string contentsOf(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct FailureCase {
  const char* name;
  const Driver& driver;
  const char* cardType;  // "" for none; holds the worked record
  const char* fault;     // "" for none; "otherkey" puts another key on sector 1
  std::int32_t readResult;
  std::int32_t writeResult;
  friend void PrintTo(const FailureCase& row, std::ostream* out) { *out << row.name; }
};

class Failure : public ::testing::TestWithParam<FailureCase> {};

template <typename Operation>
std::int32_t promptly(Operation operation) {
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t result = operation();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1200));
  return result;
}

TEST_P(Failure, EndsWithItsCodeAndNeverClaimsAWrite) {
  const FailureCase& row = GetParam();
  const std::string fault = row.fault;
  const Bench bench(row.driver.kind, "", fault == "otherkey" ? "" : fault);
  if (*row.cardType != '\0')
    keycard::testing::newCard(row.cardType, bench.card(), kWorkedRecordHex);
  if (fault == "otherkey") {
    std::string text = contentsOf(bench.card());
    text.replace(text.find("block 07: FFFFFFFFFFFF") + 10, 12, "A0A1A2A3A4A5");
    std::ofstream(bench.card()) << text;
  }
  const std::string before = contentsOf(bench.card());
  const std::int32_t handle = row.driver.open();
  ASSERT_GE(handle, 0);

  KeyCard buffer = kUntouched;
  EXPECT_EQ(promptly([&] { return row.driver.read(handle, buffer); }), row.readResult);
  EXPECT_EQ(buffer, row.readResult == 0 ? kWorkedRecord : kUntouched);
  buffer = kUntouched;  // unlike the card's record, so a write that did not happen shows
  EXPECT_EQ(promptly([&] { return row.driver.write(handle, buffer); }), row.writeResult);
  if (std::filesystem::exists(bench.card())) {
    EXPECT_EQ(contentsOf(bench.card()), before);
  }
  row.driver.close(handle);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Failure,
    ::testing::Values(
        FailureCase{"NoCard", kProximity, "", "", kErrNoCard, kErrNoCard},
        FailureCase{"MifareCard", kProximity, "mifare1k", "", kErrCardKind, kErrCardKind},
        FailureCase{"MifareNoCard", kMifare, "", "", kErrNoCard, kErrNoCard},
        FailureCase{"MifareT5557Card", kMifare, "t5557", "", kErrCardKind, kErrCardKind},
        FailureCase{"MifareOtherKey", kMifare, "mifare1k", "otherkey", kErrAuth, kErrAuth},
        FailureCase{"Silent", kProximity, "t5557", "silent", kErrTimeout, kErrTimeout},
        FailureCase{"Late", kProximity, "t5557", "late", kErrTimeout, kErrTimeout},
        FailureCase{"Corrupt", kProximity, "t5557", "corrupt", kErrFrame, kErrFrame},
        FailureCase{"Truncate", kProximity, "t5557", "truncate", kErrFrame, kErrFrame},
        FailureCase{"Garbage", kProximity, "t5557", "garbage", kErrFrame, kErrFrame},
        FailureCase{"Oversize", kProximity, "t5557", "oversize", kErrFrame, kErrFrame},
        FailureCase{"HangUp", kProximity, "t5557", "hangup", kErrPort, kErrPort},
        FailureCase{"TornWrite", kProximity, "t5557", "tear", 0, kErrNoCard},
        FailureCase{"MifareTornWrite", kMifare, "mifare1k", "tear", 0, kErrNoCard}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::drivers::testing
