// A reader that misbehaves: every fault ends the operation with its own error code within about a
// second, leaves the caller's buffer alone and never reports a card written that is not.
#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <filesystem>
#include <string>

#include "MF_API.h"
#include "MSRD_MIF.h"
#include "driver_test_support.h"
#include "errors.h"

namespace keycard::drivers::testing {
namespace {

using keycard::testing::cardRecord;
using keycard::testing::newCard;
using namespace keycard::link;
using std::chrono::milliseconds;

constexpr milliseconds kPromptly{1200};
constexpr KeyCard kNewRecord = {0x02, 0x33, 0x30, 0x33, 0x02, 0x03, 0x04, 0x05,
                                0x00, 0x07, 0x01, 0x01, 0x00, 0x00, 0x07, 0x12,
                                0x31, 0x23, 0x59, 0x08, 0x00, 0x20, 0x00, 0x01};

struct FaultCase {
  const char* fault;
  std::int32_t readResult;
  std::int32_t writeResult;
  friend void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.fault; }
};

class ProximityFault : public ::testing::TestWithParam<FaultCase> {
 protected:
  void TearDown() override { MF_ExitComm(); }
};

template <typename Operation>
std::int32_t timed(Operation operation) {
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t result = operation();
  EXPECT_LT(std::chrono::steady_clock::now() - start, kPromptly);
  return result;
}

TEST_P(ProximityFault, EndsWithItsCodeAndNeverClaimsAWrite) {
  const FaultCase& row = GetParam();
  const Bench bench("proximity", "", row.fault);
  newCard("t5557", bench.card(), kWorkedRecordHex);
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);

  KeyCard buffer = kUntouched;
  EXPECT_EQ(timed([&] { return T5557_ReadCard(0, buffer.data()); }), row.readResult);
  if (row.readResult == 0) {
    EXPECT_EQ(buffer, kWorkedRecord);
  } else {
    EXPECT_EQ(buffer, kUntouched);
  }

  buffer = kNewRecord;
  const std::int32_t written = timed([&] { return T5557_WriteCard(0, buffer.data()); });
  EXPECT_EQ(written, row.writeResult);
  ASSERT_NE(written, 0) << "no fault lets a write through";
}

INSTANTIATE_TEST_SUITE_P(Modes, ProximityFault,
                         ::testing::Values(FaultCase{"silent", kErrTimeout, kErrTimeout},
                                           FaultCase{"late", kErrTimeout, kErrTimeout},
                                           FaultCase{"corrupt", kErrFrame, kErrFrame},
                                           FaultCase{"truncate", kErrFrame, kErrFrame},
                                           FaultCase{"garbage", kErrFrame, kErrFrame},
                                           FaultCase{"oversize", kErrFrame, kErrFrame},
                                           FaultCase{"hangup", kErrPort, kErrPort},
                                           FaultCase{"tear", 0, kErrNoCard}),
                         [](const auto& row) { return std::string(row.param.fault); });

TEST(TornWrite, ProximityCardKeepsPartOfTheRecordAndIsNotReportedWritten) {
  const Bench bench("proximity", "", "tear");
  newCard("em4469", bench.card());
  ASSERT_EQ(MF_InitComm("COM1", 9600), 0);
  KeyCard buffer = kWorkedRecord;
  EXPECT_EQ(T5557_WriteCard(0, buffer.data()), kErrNoCard);
  MF_ExitComm();
  const auto torn = std::filesystem::path(bench.card().string() + ".torn");
  ASSERT_TRUE(std::filesystem::exists(torn));
  EXPECT_EQ(cardRecord(torn), std::string(kWorkedRecordHex).substr(0, 16) + std::string(32, '0'));
}

TEST(TornWrite, MifareCardThatLeavesBeforeTheCheckIsNotReportedWritten) {
  const Bench bench("mifare", "mifare1k", "tear");
  std::int32_t index = 0;
  const std::int32_t handle = auto_open(&index);
  ASSERT_GT(handle, 0);
  KeyCard buffer = kWorkedRecord;
  intptr_t cell = reinterpret_cast<intptr_t>(buffer.data());
  EXPECT_EQ(wrkey_mif1(handle, &cell), kErrNoCard);
  closecomm(handle);
}

}  // namespace
}  // namespace keycard::drivers::testing
