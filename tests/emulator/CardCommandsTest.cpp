#include <gtest/gtest.h>

#include <sstream>

#include "EmulatorProcess.h"
#include "emulator/CardCommands.h"

namespace keycard::emulator {
namespace {

// The exit code, then what went to stdout and to stderr.
std::tuple<int, std::string, std::string> runCard(std::vector<std::string> args) {
  std::ostringstream out;
  std::ostringstream err;
  const int exitCode = runCardCommand(args, out, err);
  return {exitCode, out.str(), err.str()};
}

std::string printed(std::vector<std::string> args) {
  return std::get<1>(runCard(std::move(args)));
}

TEST(CardCommands, NewRecordAndBlock) {
  testing::TempDir dir;
  const std::string file = (dir / "guest.card").string();
  const std::string record = "0102030405060708090a0b0c0d0e0f101112131415161718";
  ASSERT_EQ(std::get<0>(runCard({"new", "--type", "em4469", file, "--record", record})), 0);
  EXPECT_EQ(printed({"record", file}), "0102030405060708090A0B0C0D0E0F101112131415161718\n");
  EXPECT_EQ(printed({"block", file, "5"}), "01020304\n");
  ASSERT_EQ(std::get<0>(runCard({"new", "--type", "t5557", file})), 0);  // replaces the card
  EXPECT_EQ(printed({"record", file}), std::string(48, '0') + "\n");
  EXPECT_EQ(printed({"block", file, "0"}), "000880E0\n");
  const auto [exitCode, out, err] = runCard({"block", file, "8"});
  EXPECT_EQ(exitCode, 2);
  EXPECT_NE(err.find("block 8 is not on this t5557 card (0 to 7)"), std::string::npos) << err;
  EXPECT_EQ(out, "");

  // A card's UID comes from its file name: the same in every run, different beside it.
  testing::TempDir other;
  for (const auto& card : {dir / "a", dir / "b", other / "a"}) testing::newCard("mifare1k", card);
  EXPECT_EQ(testing::cardBlock(dir / "a", 0), testing::cardBlock(other / "a", 0));
  EXPECT_NE(testing::cardBlock(dir / "a", 0), testing::cardBlock(dir / "b", 0));
}

}  // namespace
}  // namespace keycard::emulator
