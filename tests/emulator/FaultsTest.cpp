// Faults that keep every reply well formed, seen on the line as a driver sees them: a reader that
// answers at the edge of the timeout, and one that answers with a reply meant for another request.
#include <gtest/gtest.h>

#include <vector>

#include "emulator/Faults.h"
#include "tests/emulator/LineExchange.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

using link::Command;

// Words 5 to 10 of the EM4469 card hold it: word 5 is 01020304, word 6 05060708.
constexpr char kRecord[] = "0102030405060708090A0B0C0D0E0F101112131415161718";

struct Step {
  Command command;
  std::vector<std::uint8_t> payload;
  const char* replyHex;  // status and data, as the line carried them
};

struct FaultCase {
  const char* name;
  const char* fault;
  int faultFrom;
  std::vector<Step> steps;
  friend void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }
};

class FaultOnTheLine : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultOnTheLine, AnswersEachRequestAsTheFaultSays) {
  const FaultCase& row = GetParam();
  testing::TempDir dir;
  testing::newCard("em4469", dir / "card", kRecord);
  const testing::EmulatorProcess emulator({.card = dir / "card",
                                           .portDir = dir.path(),
                                           .fault = row.fault,
                                           .faultFrom = row.faultFrom});
  link::SerialLine line;
  ASSERT_EQ(line.open((dir / "COM1").string(), "test"), 0);
  for (std::size_t i = 0; i < row.steps.size(); ++i) {
    SCOPED_TRACE("request " + std::to_string(i + 1));
    const auto [reply, took] = testing::exchange(line, row.steps[i].command, row.steps[i].payload);
    EXPECT_EQ(reply, row.steps[i].replyHex);
    // Only a lower bound: a busy machine may add to it, never take from it.
    if (std::string_view(row.fault) == "slow") {
      EXPECT_GE(took, kSlowDelay);
    }
  }
}

const std::vector<std::uint8_t> kWord7Payload{7, 0xAA, 0xBB, 0xCC, 0xDD};

INSTANTIATE_TEST_SUITE_P(
    Rows, FaultOnTheLine,
    ::testing::Values(
        FaultCase{"StaleAnswersWithTheCommandsPreviousReply",
                  "stale",
                  1,
                  {{Command::GetVersion, {}, "004B432D50524F5820312E30"},  // first: sound
                   {Command::ReadBlock, {5}, "0001020304"},
                   {Command::ReadBlock, {6}, "0001020304"},  // word 5's reply
                   {Command::ReadBlock, {5}, "0005060708"},  // word 6's reply
                   {Command::WriteBlock, kWord7Payload, "00"},
                   {Command::ReadBlock, {7}, "0001020304"},    // word 5's again
                   {Command::ReadBlock, {8}, "00AABBCCDD"}}},  // the write was carried out
        FaultCase{"StaleReplaysRepliesGivenBeforeItStarted",
                  "stale",
                  3,
                  {{Command::ReadBlock, {5}, "0001020304"},
                   {Command::ReadBlock, {6}, "0005060708"},
                   {Command::ReadBlock, {7}, "0005060708"}}},
        FaultCase{"SlowAnswersSoundlyJustInsideTheTimeout",
                  "slow",
                  1,
                  {{Command::GetVersion, {}, "004B432D50524F5820312E30"},
                   {Command::ReadBlock, {6}, "0005060708"},
                   {Command::ReadBlock, {16}, "03"}}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::emulator
