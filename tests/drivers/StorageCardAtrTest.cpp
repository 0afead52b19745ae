// Which cards the ATR check lets through to the key card operations: a Mifare Classic or a card
// compatible with one, and nothing that merely resembles one.
#include "drivers/MSRD_MIF/StorageCardAtr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "drivers/MSRD_MIF/ClassicCompatible.h"
#include "drivers/MSRD_MIF/Pn532Target.h"

namespace keycard::drivers {
namespace {

std::vector<std::uint8_t> bytes(const std::string& hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t at = 0; at + 1 < hex.size(); at += 3) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(at, 2), nullptr, 16)));
  }
  return out;
}

TEST(StorageCardAtr, NamesTheCardOnlyWhenTheAtrSaysSoInFull) {
  // A contactless storage card's ATR up to its standard byte; the card name and the check byte
  // follow.
  const std::string k = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 ";
  const struct {
    const char* name;
    std::string atr;
    std::optional<StorageCard> card;
  } rows[] = {
      {"classic 1K", k + "00 01 00 00 00 00 6A", kMifareClassic1K},
      {"classic 4K", k + "00 02 00 00 00 00 69", StorageCard{0x03, 0x0002}},
      {"a card name above 255", k + "01 00 00 00 00 00 6B", StorageCard{0x03, 0x0100}},
      {"ultralight", k + "00 03 00 00 00 00 68", StorageCard{0x03, 0x0003}},
      {"with TA1", "3B 9F 96 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 EC",
       kMifareClassic1K},
      {"the shortest identifier", "3B 8B 80 01 80 4F 08 A0 00 00 03 06 03 00 01 6E",
       kMifareClassic1K},
      {"cut short", k + "00", std::nullopt},
      {"another category", "3B 8F 80 01 00 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 EA",
       std::nullopt},
      {"another provider", "3B 8F 80 01 80 4F 0C A0 00 00 03 07 03 00 01 00 00 00 00 6B",
       std::nullopt},
      {"identifier longer than the ATR",
       "3B 8F 80 01 80 4F 1C A0 00 00 03 06 03 00 01 00 00 00 00 7A", std::nullopt},
      {"processor card", "3B 8A 80 01 00 31 C1 73 C8 40 00 00 90 00 90", std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(storageCardOf(bytes(row.atr)), row.card) << row.name;
  }
}

TEST(ClassicCompatible, GoesOnWithEveryClassicSector1AndNoOtherCard) {
  const struct {
    StorageCard card;
    bool classic;
  } rows[] = {
      {{0x03, 0x0001}, true},   // 1K
      {{0x03, 0x0002}, true},   // 4K
      {{0x03, 0x0026}, true},   // Mini
      {{0x03, 0x0036}, true},   // Plus SL1 2K
      {{0x03, 0xFF88}, true},   // named by SAK: a 1K-compatible chip
      {{0x03, 0x0003}, false},  // Ultralight
      {{0x03, 0xFF20}, false},  // ISO 14443-4 (DESFire, Plus SL3)
      {{0x03, 0xFF28}, false},  // a Classic that also speaks ISO 14443-4
      {{0x03, 0x0088}, false},  // a SAK without the FF before it
      {{0x11, 0x0001}, false},  // another standard (ISO 15693)
  };
  for (const auto& row : rows) {
    EXPECT_EQ(isClassicCompatible(row.card), row.classic) << std::hex << row.card.name;
  }
}

// A board's listing: NbTg, Tg, ATQA, SAK, UID length, UID (and an ATS after it).
TEST(Pn532Target, TakesAUidOfATypeACardsLengthThatTheAnswerHolds) {
  const std::pair<const char*, const char*> rows[] = {
      {"01 01 00 04 08 04 C0 FF EE 01", "08 C0FFEE01"},
      {"01 01 00 44 00 07 04 C0 FF EE 01 C1 11 05 75", "00 04C0FFEE01C111"},
      {"01 01 00 04 08 05 C0 FF EE 01 02", ""},  // no type A card has a 5-byte UID
      {"01 01 00 44 00 07 04 C0 FF EE 01 C1", ""},
      {"02 01 00 04 08 04 C0 FF EE 01", ""},  // two cards, when one was asked for
      {"01 02 00 04 08 04 C0 FF EE 01", ""},
  };
  for (const auto& [answer, expected] : rows) {
    const std::vector<std::uint8_t> listing = bytes(answer);
    const auto target = listedTarget(listing);  // the UID lies within the listing
    std::string found;
    if (target) {
      char text[4];
      std::snprintf(text, sizeof text, "%02X ", target->sak);
      found = text;
      for (const std::uint8_t byte : target->uid) {
        std::snprintf(text, sizeof text, "%02X", byte);
        found += text;
      }
    }
    EXPECT_EQ(found, expected) << answer;
  }
}

}  // namespace
}  // namespace keycard::drivers
