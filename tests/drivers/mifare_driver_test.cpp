#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "MSRD_MIF.h"
#include "driver_test_support.h"
#include "errors.h"

namespace keycard::drivers::testing {
namespace {

using keycard::testing::cardBlock;
using keycard::testing::cardRecord;
using namespace keycard::link;

constexpr const char* kFactoryTrailer = "FFFFFFFFFFFFFF078069FFFFFFFFFFFF";

// Opens COM1 and closes the handle at the end of the test.
class OpenMifare {
 public:
  OpenMifare() : handle_(auto_open(&index_)) {}
  OpenMifare(const OpenMifare&) = delete;
  OpenMifare& operator=(const OpenMifare&) = delete;
  ~OpenMifare() { closecomm(handle_); }
  std::int32_t handle() const { return handle_; }

 private:
  std::int32_t index_ = 0;
  std::int32_t handle_ = 0;
};

std::int32_t writeKey(std::int32_t handle, KeyCard& card) {
  intptr_t cell = reinterpret_cast<intptr_t>(card.data());
  return wrkey_mif1(handle, &cell);
}

std::int32_t readKey(std::int32_t handle, KeyCard& card) {
  intptr_t cell = reinterpret_cast<intptr_t>(card.data());
  return rdkey_mif1(handle, &cell);
}

TEST(MifareDriver, WorkedRecordRoundTripsInSectorOne) {
  const Bench bench("mifare", "mifare1k");
  const OpenMifare reader;
  ASSERT_GT(reader.handle(), 0);

  KeyCard card = kWorkedRecord;
  EXPECT_EQ(writeKey(reader.handle(), card), 0);
  EXPECT_EQ(cardRecord(bench.card()), kWorkedRecordHex);
  EXPECT_EQ(cardBlock(bench.card(), 4), std::string(kWorkedRecordHex).substr(0, 32));
  EXPECT_EQ(cardBlock(bench.card(), 5),
            std::string(kWorkedRecordHex).substr(32) + "0000000000000000");
  EXPECT_EQ(cardBlock(bench.card(), 7), kFactoryTrailer);

  card = kUntouched;
  EXPECT_EQ(readKey(reader.handle(), card), 0);
  EXPECT_EQ(card, kWorkedRecord);
  EXPECT_EQ(dv_beep(reader.handle(), 1), 0);
}

TEST(MifareDriver, ProximityCardsAreTheWrongKind) {
  const Bench bench("mifare", "t5557");
  const OpenMifare reader;
  ASSERT_GT(reader.handle(), 0);
  KeyCard card = kWorkedRecord;
  EXPECT_EQ(writeKey(reader.handle(), card), kErrCardKind);
  card = kUntouched;
  EXPECT_EQ(readKey(reader.handle(), card), kErrCardKind);
  EXPECT_EQ(card, kUntouched);
}

TEST(MifareDriver, NoCardOnTheReader) {
  const Bench bench("mifare", "mifare1k");
  bench.takeCardAway();
  const OpenMifare reader;
  ASSERT_GT(reader.handle(), 0);
  KeyCard card = kUntouched;
  EXPECT_EQ(readKey(reader.handle(), card), kErrNoCard);
  EXPECT_EQ(card, kUntouched);
  EXPECT_EQ(writeKey(reader.handle(), card), kErrNoCard);
}

TEST(MifareDriver, SectorWithAnotherKeyRefusesAuthentication) {
  const Bench bench("mifare", "mifare1k");
  {
    std::ifstream in(bench.card());
    std::stringstream text;
    text << in.rdbuf();
    std::string changed = text.str();
    const std::string keyLine = "block 07: FFFFFFFFFFFF";
    const std::size_t at = changed.find(keyLine);
    ASSERT_NE(at, std::string::npos);
    changed.replace(at, keyLine.size(), "block 07: A0A1A2A3A4A5");
    std::ofstream(bench.card()) << changed;
  }
  const OpenMifare reader;
  ASSERT_GT(reader.handle(), 0);
  KeyCard card = kWorkedRecord;
  EXPECT_EQ(writeKey(reader.handle(), card), kErrAuth);
  EXPECT_EQ(cardRecord(bench.card()), std::string(48, '0'));
  card = kUntouched;
  EXPECT_EQ(readKey(reader.handle(), card), kErrAuth);
  EXPECT_EQ(card, kUntouched);
}

TEST(MifareDriver, HandlesAndArguments) {
  const Bench bench("mifare", "mifare1k");
  for (std::int32_t index : {-1, 10}) EXPECT_EQ(auto_open(&index), kErrArgument) << index;
  EXPECT_EQ(auto_open(nullptr), kErrArgument);
  std::int32_t missingPort = 4;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(auto_open(&missingPort), kErrPort);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("auto_open: cannot open"),
            std::string::npos);

  std::int32_t index = 0;
  const std::int32_t first = auto_open(&index);
  ASSERT_GT(first, 0);
  for (std::int32_t ignored : {0, -3, first + 1000}) EXPECT_EQ(closecomm(ignored), kErrNotOpen);
  EXPECT_EQ(dv_beep(first, 2), 0);

  KeyCard card = kUntouched;
  intptr_t nullCell = 0;
  EXPECT_EQ(rdkey_mif1(first, nullptr), kErrArgument);
  EXPECT_EQ(rdkey_mif1(first, &nullCell), kErrArgument);
  EXPECT_EQ(wrkey_mif1(first, &nullCell), kErrArgument);
  EXPECT_EQ(readKey(first + 1000, card), kErrNotOpen);

  // Opening the same port again replaces the old handle.
  const std::int32_t second = auto_open(&index);
  ASSERT_GT(second, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(dv_beep(first, 1), kErrNotOpen);
  EXPECT_EQ(readKey(second, card), 0);
  EXPECT_EQ(closecomm(second), 0);
  EXPECT_EQ(dv_beep(second, 1), kErrNotOpen);
  EXPECT_EQ(writeKey(second, card), kErrNotOpen);
}

TEST(MifareDriver, OpenFailsWhenNoReaderAnswers) {
  // The port opens, but the reader on it never answers.
  const Bench bench("proximity", "mifare1k", "silent");
  std::int32_t index = 0;
  EXPECT_EQ(auto_open(&index), kErrTimeout);
}

}  // namespace
}  // namespace keycard::drivers::testing
