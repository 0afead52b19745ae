#include <gtest/gtest.h>

#include <sstream>

#include "EmulatorProcess.h"
#include "emulator/CardCommands.h"

namespace keycard::emulator {
namespace {

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

Outcome runCard(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  const int exitCode = runCardCommand(args, out, err);
  return {exitCode, out.str(), err.str()};
}

TEST(CardCommands, NewRecordAndBlock) {
  testing::TempDir dir;
  const std::string file = (dir / "guest.card").string();
  const std::string record = "0102030405060708090a0b0c0d0e0f101112131415161718";
  ASSERT_EQ(runCard({"new", "--type", "em4469", file, "--record", record}).exitCode, 0);
  EXPECT_EQ(runCard({"record", file}).out, "0102030405060708090A0B0C0D0E0F101112131415161718\n");
  EXPECT_EQ(runCard({"block", file, "5"}).out, "01020304\n");
  ASSERT_EQ(runCard({"new", "--type", "t5557", file}).exitCode, 0);  // replaces the card
  EXPECT_EQ(runCard({"record", file}).out, std::string(48, '0') + "\n");
  EXPECT_EQ(runCard({"block", file, "0"}).out, "000880E0\n");

  // A card's UID comes from its file name: the same in every run, different beside it.
  testing::TempDir other;
  for (const auto& card : {dir / "a", dir / "b", other / "a"}) testing::newCard("mifare1k", card);
  EXPECT_EQ(testing::cardBlock(dir / "a", 0), testing::cardBlock(other / "a", 0));
  EXPECT_NE(testing::cardBlock(dir / "a", 0), testing::cardBlock(dir / "b", 0));
}

TEST(CardCommands, RefusesBadArgumentsWithAReason) {
  testing::TempDir dir;
  const std::string file = (dir / "c").string();
  testing::newCard("t5557", file);
  struct Row {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const Row rows[] = {
      {{}, 2, "card needs new, record or block"},
      {{"new", "--type", "t5577", file}, 2, "--type is t5557, em4469 or mifare1k"},
      {{"new", "--type", "t5557", file, "--record", "0102"}, 2, "48 hex digits"},
      {{"block", file, "8"}, 2, "block 8 is not on this t5557 card (0 to 7)"},
      {{"record", (dir / "absent").string()}, 1, "there is no card file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    const Outcome outcome = runCard(row.args);
    EXPECT_EQ(outcome.exitCode, row.exitCode);
    EXPECT_NE(outcome.err.find(row.message), std::string::npos) << outcome.err;
    EXPECT_TRUE(outcome.out.empty());
  }
}

}  // namespace
}  // namespace keycard::emulator
