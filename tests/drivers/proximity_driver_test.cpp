#include <gtest/gtest.h>

#include <ostream>

#include <fstream>
#include <string>

#include "MF_API.h"
#include "driver_test_support.h"
#include "errors.h"

namespace keycard::drivers::testing {
namespace {

using keycard::testing::cardBlock;
using keycard::testing::cardRecord;
using namespace keycard::link;

class ProximityDriver : public ::testing::Test {
 protected:
  void TearDown() override { MF_ExitComm(); }
};

struct KeyCardCase {
  const char* name;
  const char* cardType;
  int fixedBlock;  // a block the key card write must leave as it was
  bool wireDelay;
  friend void PrintTo(const KeyCardCase& row, std::ostream* out) { *out << row.name; }
};

class ProximityKeyCard : public ProximityDriver,
                         public ::testing::WithParamInterface<KeyCardCase> {};

TEST_P(ProximityKeyCard, WorkedRecordRoundTrips) {
  const KeyCardCase& row = GetParam();
  const Bench bench("proximity", row.cardType, "", row.wireDelay);
  const std::string fixedBefore = cardBlock(bench.card(), row.fixedBlock);
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);

  KeyCard written = kWorkedRecord;
  EXPECT_EQ(T5557_WriteCard(0, written.data()), 0);
  EXPECT_EQ(written, kWorkedRecord);
  EXPECT_EQ(cardRecord(bench.card()), kWorkedRecordHex);
  EXPECT_EQ(cardBlock(bench.card(), row.fixedBlock), fixedBefore);

  KeyCard read = kUntouched;
  EXPECT_EQ(T5557_ReadCard(0, read.data()), 0);
  EXPECT_EQ(read, kWorkedRecord);
}

INSTANTIATE_TEST_SUITE_P(Cards, ProximityKeyCard,
                         ::testing::Values(KeyCardCase{"T5557", "t5557", 0, false},
                                           KeyCardCase{"EM4469", "em4469", 1, false},
                                           KeyCardCase{"T5557AtWireSpeed", "t5557", 0, true}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ProximityDriver, MifareCardIsTheWrongKindAndStaysBlank) {
  const Bench bench("proximity", "mifare1k");
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  KeyCard buffer = kWorkedRecord;
  EXPECT_EQ(T5557_WriteCard(0, buffer.data()), kErrCardKind);
  EXPECT_EQ(cardRecord(bench.card()), std::string(48, '0'));
  buffer = kUntouched;
  EXPECT_EQ(T5557_ReadCard(0, buffer.data()), kErrCardKind);
  EXPECT_EQ(buffer, kUntouched);
}

TEST_F(ProximityDriver, NoCardOnTheReader) {
  const Bench bench("proximity", "t5557");
  bench.takeCardAway();
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  KeyCard buffer = kUntouched;
  EXPECT_EQ(T5557_ReadCard(0, buffer.data()), kErrNoCard);
  EXPECT_EQ(buffer, kUntouched);
  buffer = kWorkedRecord;
  EXPECT_EQ(T5557_WriteCard(0, buffer.data()), kErrNoCard);
  unsigned char block[4] = {0x0A, 0x00, 0x11, 0x0D};
  EXPECT_EQ(EM4150_WriteBlock(0, 2, block), kErrNoCard);
}

TEST_F(ProximityDriver, DataBlockGoesToWordTwoOfAnEm4469Only) {
  const Bench bench("proximity", "em4469");
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  unsigned char block[4] = {0x0A, 0x00, 0x11, 0x0D};
  EXPECT_EQ(EM4150_WriteBlock(0, 2, block), 0);
  EXPECT_EQ(cardBlock(bench.card(), 2), "0A00110D");
  unsigned char read[4] = {};
  EXPECT_EQ(EM4150_ReadBlock(0, 2, read), 0);
  EXPECT_EQ(std::string(read, read + 4), std::string(block, block + 4));

  const std::string uid = cardBlock(bench.card(), 1);
  for (int refused : {1, 16, -1}) {
    EXPECT_EQ(EM4150_WriteBlock(0, refused, block), kErrArgument) << "block " << refused;
  }
  EXPECT_EQ(EM4150_ReadBlock(0, 16, read), kErrArgument);
  EXPECT_EQ(EM4150_WriteBlock(0, 2, nullptr), kErrArgument);
  EXPECT_EQ(cardBlock(bench.card(), 1), uid);
}

TEST_F(ProximityDriver, DataBlockOnAT5557IsTheWrongKind) {
  const Bench bench("proximity", "t5557");
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  const std::string before = cardBlock(bench.card(), 2);
  unsigned char block[4] = {0x0A, 0x00, 0x11, 0x0D};
  EXPECT_EQ(EM4150_WriteBlock(0, 2, block), kErrCardKind);
  EXPECT_EQ(cardBlock(bench.card(), 2), before);
}

TEST_F(ProximityDriver, ReaderControlsAndVersionWriteNothingIntoTheText) {
  const Bench bench("proximity", "t5557");
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  // The caller's text is empty and has no room: the bytes after its terminator must survive.
  char text[8] = {'\0', 'g', 'u', 'a', 'r', 'd', '!', '\0'};
  EXPECT_EQ(ML_GetDevice_Ver(0, text), 0);
  EXPECT_EQ(std::string(text, sizeof text), std::string("\0guard!\0", 8));
  EXPECT_EQ(ML_ControlRF(0, 1), 0);
  EXPECT_EQ(ML_ControlBeep(0, 2), 0);
  EXPECT_EQ(ML_ControlBeep(0, 256), kErrArgument);
  EXPECT_EQ(ML_ControlRF(0, -1), kErrArgument);
}

TEST_F(ProximityDriver, PortOpensClosesAndReopens) {
  const Bench bench("proximity", "t5557");
  EXPECT_EQ(ML_GetDevice_Ver(0, nullptr), kErrNotOpen);
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);  // closes the first one itself
  EXPECT_EQ(ML_GetDevice_Ver(0, nullptr), 0);
  EXPECT_EQ(MF_ExitComm(), 0);
  EXPECT_EQ(MF_ExitComm(), 0);
  KeyCard buffer = kUntouched;
  EXPECT_EQ(T5557_ReadCard(0, buffer.data()), kErrNotOpen);
  EXPECT_EQ(ML_ControlBeep(0, 1), kErrNotOpen);

  // A failed open leaves nothing open, not even the port opened before it.
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MF_InitComm("COM4", 9600), kErrPort);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("No such file or directory"),
            std::string::npos);
  EXPECT_EQ(ML_GetDevice_Ver(0, nullptr), kErrNotOpen);
}

TEST_F(ProximityDriver, RefusesBadPortArgumentsAndRegularFiles) {
  const Bench bench("proximity", "t5557");
  ::testing::internal::CaptureStderr();
  for (const char* name : {"COM0", "COM11", "com1", "COM01"}) {
    EXPECT_EQ(MF_InitComm(name, 9600), kErrArgument) << name;
  }
  EXPECT_EQ(MF_InitComm(nullptr, 9600), kErrArgument);
  EXPECT_EQ(MF_InitComm("COM1", 19200), kErrArgument);

  const auto file = bench.folder() / "COM2";
  std::ofstream(file) << "precious";
  EXPECT_EQ(MF_InitComm("COM2", 9600), kErrPort);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("MF_InitComm: cannot open " + file.string() + ": not a serial device"),
            std::string::npos)
      << said;
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
}

}  // namespace
}  // namespace keycard::drivers::testing
