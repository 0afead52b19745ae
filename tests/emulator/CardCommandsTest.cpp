#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "emulator/ExitCodes.h"
#include "emulator/card/CardCommands.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

// Runs `keycard-emulator card ARGS`, expecting `exitCode`; what it printed, stdout and stderr.
std::string runCard(std::vector<std::string> args, int exitCode = kExitOk) {
  std::ostringstream printed;
  EXPECT_EQ(runCardCommand(args, printed, printed), exitCode) << printed.str();
  return printed.str();
}

// Records and blocks made and read back are every driver test's card files.
TEST(CardCommands, ABlankT5557AndAUidFromTheFileName) {
  testing::TempDir dir;
  const std::string file = (dir / "guest.card").string();
  runCard({"new", "--type", "t5557", file});
  EXPECT_EQ(runCard({"block", file, "0"}), "000880E0\n");

  // A card's UID comes from its file name: the same in every run, different beside it.
  testing::TempDir other;
  for (const auto& card : {dir / "a", dir / "b", other / "a"}) testing::newCard("mifare1k", card);
  EXPECT_EQ(testing::cardBlock(dir / "a", 0), testing::cardBlock(other / "a", 0));
  EXPECT_NE(testing::cardBlock(dir / "a", 0), testing::cardBlock(dir / "b", 0));
}

TEST(CardCommands, AKeyOfItsOwnForAMifareCardAndAnUltralightWithoutARecord) {
  testing::TempDir dir;
  const std::string file = (dir / "card").string();
  runCard({"new", "--type", "mifare1k", file, "--key-a", "a0a1a2a3a4a5"});
  for (const char* trailer : {"3", "7", "63"}) {
    EXPECT_EQ(runCard({"block", file, trailer}), "A0A1A2A3A4A5FF078069FFFFFFFFFFFF\n");
  }
  runCard({"new", "--type", "ultralight", file});
  EXPECT_EQ(runCard({"block", file, "15"}), "00000000\n");
  EXPECT_NE(
      runCard({"block", file, "16"}, kExitUsage).find("block 16 is not on this ultralight card"),
      std::string::npos);
  const std::string ultralightUid = runCard({"block", file, "0"});

  const std::string missing = (dir / "missing").string();
  const std::tuple<std::vector<std::string>, int, const char*> refused[] = {
      {{"new", "--type", "ultralight", file, "--record", std::string(48, '0')},
       kExitUsage,
       "an ultralight card holds no key-card record"},
      {{"record", missing}, kExitFailure, "there is no card file"},
      {{"new", "--type", "t5577", file}, kExitUsage, "sak88 or ultralight, not 't5577'"},
  };
  for (const auto& [args, exitCode, message] : refused) {
    SCOPED_TRACE(message);
    const std::string printed = runCard(args, exitCode);
    EXPECT_NE(printed.find(message), std::string::npos) << printed;
    EXPECT_EQ(printed.find("usage:") != std::string::npos, exitCode == kExitUsage) << printed;
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(runCard({"block", file, "0"}), ultralightUid)
      << "a refused card new leaves the card as it was";
}

}  // namespace
}  // namespace keycard::emulator
