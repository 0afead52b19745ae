#include <gtest/gtest.h>

#include <sstream>

#include "emulator/CardCommands.h"
#include "emulator/ExitCodes.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

// Runs `keycard-emulator card ARGS`, expecting `exitCode`; what it printed, stdout and stderr.
std::string runCard(std::vector<std::string> args, int exitCode = 0) {
  std::ostringstream printed;
  EXPECT_EQ(runCardCommand(args, printed, printed), exitCode) << printed.str();
  return printed.str();
}

TEST(CardCommands, NewRecordAndBlock) {
  testing::TempDir dir;
  const std::string file = (dir / "guest.card").string();
  runCard({"new", "--type", "em4469", file, "--record",
           "0102030405060708090a0b0c0d0e0f101112131415161718"});
  EXPECT_EQ(runCard({"record", file}), "0102030405060708090A0B0C0D0E0F101112131415161718\n");
  EXPECT_EQ(runCard({"block", file, "5"}), "01020304\n");
  runCard({"new", "--type", "t5557", file});  // replaces the card
  EXPECT_EQ(runCard({"record", file}), std::string(48, '0') + "\n");
  EXPECT_EQ(runCard({"block", file, "0"}), "000880E0\n");
  EXPECT_NE(
      runCard({"block", file, "8"}, kExitUsage).find("block 8 is not on this t5557 card (0 to 7)"),
      std::string::npos);

  // A card's UID comes from its file name: the same in every run, different beside it.
  testing::TempDir other;
  for (const auto& card : {dir / "a", dir / "b", other / "a"}) testing::newCard("mifare1k", card);
  EXPECT_EQ(testing::cardBlock(dir / "a", 0), testing::cardBlock(other / "a", 0));
  EXPECT_NE(testing::cardBlock(dir / "a", 0), testing::cardBlock(dir / "b", 0));
}

}  // namespace
}  // namespace keycard::emulator
