#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "EmulatorProcess.h"
#include "emulator/CardFile.h"

namespace keycard::emulator {
namespace {

using testing::TempDir;

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CardFile, EveryTypeSurvivesSaveAndLoad) {
  TempDir dir;
  for (CardType type : {CardType::T5557, CardType::EM4469, CardType::Mifare1K}) {
    SCOPED_TRACE(std::string(cardTypeName(type)));
    Card card = blankCard(type, 0x12345678);
    setCardRecord(card, *recordFromHex("0102030405060708090A0B0C0D0E0F101112131415161718"));
    saveCard(dir / "card", card);
    EXPECT_EQ(loadCard(dir / "card"), card);
  }
}

TEST(CardFile, IsTextOneBlockALine) {
  const std::string text = formatCardFile(blankCard(CardType::T5557, 0));
  EXPECT_EQ(text,
            "# keycard-emulator card\ntype t5557\n"
            "block 00: 000880E0\nblock 01: 00000000\nblock 02: 00000000\nblock 03: 00000000\n"
            "block 04: 00000000\nblock 05: 00000000\nblock 06: 00000000\nblock 07: 00000000\n");
}

TEST(CardFile, AcceptsCommentsBlankLinesLowerCaseAndAnyOrder) {
  const Card card = parseCardFile(
      "# a hand-made card\n\ntype em4469\n"
      "block 15: 0000000f\nblock 14: 00000000\nblock 13: 00000000\nblock 12: 00000000\n"
      "block 11: 00000000\nblock 10: 00000000\nblock 09: 00000000\nblock 08: 00000000\n"
      "block 07: 00000000\nblock 06: 00000000\nblock 05: 00000000\nblock 04: 00000000\n"
      "block 03: 00000000\nblock 02: 00000000\nblock 01: AABBCCDD\nblock 00: 00000000\n",
      "test");
  EXPECT_EQ(card.type, CardType::EM4469);
  EXPECT_EQ(card.blocks[15], (std::vector<std::uint8_t>{0, 0, 0, 0x0F}));
  EXPECT_EQ(cardUid(card), (Uid{0xAA, 0xBB, 0xCC, 0xDD}));
}

TEST(CardFile, RejectsMalformedTextNamingTheLine) {
  const std::string t5557 = formatCardFile(blankCard(CardType::T5557, 0));
  struct Row {
    const char* name;
    std::string text;
    const char* message;
  };
  const Row rows[] = {
      {"no type", "block 00: 000880E0\n", "line 1: a block before the type line"},
      {"unknown type", "type t5577\n", "unknown card type"},
      {"block missing", "type t5557\nblock 00: 000880E0\n", "block 1 is missing"},
      {"block twice", t5557 + "block 03: 00000000\n", "line 11: block 3 appears twice"},
      {"block beyond", t5557 + "block 08: 00000000\n", "block 8 is beyond"},
      {"short block", "type t5557\nblock 00: 0008\n", "must be 8 hex digits"},
      {"not hex", "type t5557\nblock 00: 0008XYZ0\n", "must be 8 hex digits"},
      {"hex block number", "type t5557\nblock 0A: 00000000\n", "must be decimal"},
      {"stray line", "type t5557\nhello\n", "line 2: expected"},
      {"empty", "", "no 'type' line"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      parseCardFile(row.text, "card.txt");
      ADD_FAILURE() << "accepted";
    } catch (const CardFileError& error) {
      EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos) << error.what();
      EXPECT_TRUE(std::string(error.what()).starts_with("card.txt")) << error.what();
    }
  }
}

TEST(CardFile, MissingFileIsNoCard) {
  TempDir dir;
  EXPECT_EQ(loadCard(dir / "absent"), std::nullopt);
}

TEST(CardFile, SaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  TempDir dir;
  const auto file = dir / "card";
  saveCard(file, blankCard(CardType::T5557, 0));
  const auto before = std::filesystem::status(file);
  Card changed = blankCard(CardType::T5557, 0);
  changed.blocks[3] = {1, 2, 3, 4};
  saveCard(file, changed);

  EXPECT_EQ(readText(file), formatCardFile(changed));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_EQ(before.permissions(), std::filesystem::status(file).permissions());
}

TEST(CardFile, LeftoverTemporaryFileIsNeverTheCard) {
  TempDir dir;
  const auto file = dir / "card";
  const Card card = blankCard(CardType::EM4469, 7);
  saveCard(file, card);
  // What a save killed before its rename leaves behind: half a card under a temporary name.
  std::ofstream(file.string() + ".tmp-abc123") << "# keycard-emulator card\ntype em4469\nblock 00:";
  EXPECT_EQ(loadCard(file), card);
  saveCard(file, card);
  EXPECT_EQ(loadCard(file), card);
}

TEST(CardFile, SaveIntoAMissingFolderSaysWhere) {
  TempDir dir;
  try {
    saveCard(dir / "no-such-folder" / "card", blankCard(CardType::T5557, 0));
    FAIL() << "saved";
  } catch (const CardFileError& error) {
    EXPECT_NE(std::string(error.what()).find("no-such-folder"), std::string::npos);
  }
}

}  // namespace
}  // namespace keycard::emulator
