#include <gtest/gtest.h>

#include <fstream>

#include "emulator/CardFile.h"
#include "tests/support/EmulatorProcess.h"

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
