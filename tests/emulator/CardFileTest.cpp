#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "EmulatorProcess.h"
#include "emulator/CardFile.h"

namespace keycard::emulator {
namespace {

using testing::TempDir;

TEST(CardFile, EveryTypeSurvivesSaveAndLoad) {
  TempDir dir;
  EXPECT_EQ(loadCard(dir / "card"), std::nullopt);  // no file: no card on the reader
  for (CardType type : {CardType::T5557, CardType::EM4469, CardType::Mifare1K}) {
    SCOPED_TRACE(std::string(cardTypeName(type)));
    Card card = blankCard(type, 0x12345678);
    setCardRecord(card, *recordFromHex("0102030405060708090A0B0C0D0E0F101112131415161718"));
    saveCard(dir / "card", card);
    EXPECT_EQ(loadCard(dir / "card"), card);
  }
}

TEST(CardFile, RejectsMalformedTextNamingTheFileAndLine) {
  const std::string t5557 = formatCardFile(blankCard(CardType::T5557, 0));
  const std::pair<std::string, const char*> rows[] = {
      {"block 00: 000880E0\n", "line 1: a block before the type line"},
      {"type t5557\nblock 00: 000880E0\n", "block 1 is missing"},
      {t5557 + "block 03: 00000000\n", "line 11: block 3 appears twice"},
      {t5557 + "block 08: 00000000\n", "block 8 is beyond"},
      {"type t5557\nblock 00: 0008XYZ0\n", "must be 8 hex digits"},
      {"", "no 'type' line"},
  };
  for (const auto& [text, message] : rows) {
    SCOPED_TRACE(message);
    try {
      parseCardFile(text, "card.txt");
      ADD_FAILURE() << "accepted";
    } catch (const CardFileError& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
      EXPECT_TRUE(std::string(error.what()).starts_with("card.txt")) << error.what();
    }
  }
}

TEST(CardFile, SaveReplacesTheWholeFileAtOnce) {
  TempDir dir;
  const auto file = dir / "card";
  Card card = blankCard(CardType::EM4469, 7);
  saveCard(file, card);
  // What a save killed before its rename leaves behind: half a card under a temporary name.
  std::ofstream(file.string() + ".tmp-abc123") << "# keycard-emulator card\ntype em4469\nblock 00:";
  EXPECT_EQ(loadCard(file), card);
  card.blocks[3] = {1, 2, 3, 4};
  saveCard(file, card);
  EXPECT_EQ(loadCard(file), card);
  std::filesystem::remove(file.string() + ".tmp-abc123");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
      << "a save leaves no temporary file";
  EXPECT_THROW(saveCard(dir / "no-such-folder" / "card", card), CardFileError);
}

}  // namespace
}  // namespace keycard::emulator
