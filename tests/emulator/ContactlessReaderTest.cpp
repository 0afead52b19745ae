// The contactless reader's answers to the storage-card pseudo-APDUs, one exchange after another
// on a fresh reader and card, as a host would send them.
#include <gtest/gtest.h>

#include <sstream>

#include "emulator/card/CardFile.h"
#include "emulator/pcsc/ContactlessReader.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

// Hex with or without spaces.
Bytes bytes(std::string text) {
  std::erase(text, ' ');
  return fromHex(text).value();
}

// A step of a session: a command and the whole response expected, or one of the events below.
struct Step {
  std::string command;
  std::string response;
};
constexpr const char* kReset = "reset";         // pcscd powers the card off and on
constexpr const char* kCardAway = "card away";  // the card leaves the field and comes back
// Another card (UID C0FFEE02) takes the card's place with no moment without a card.
constexpr const char* kCardSwapped = "card swapped";

struct Session {
  const char* name;
  CardType card;
  std::vector<Step> steps;
  ReaderFamily reader = ReaderFamily::Acs;
};

constexpr const char* kRecord = "0102030405060708090A0B0C0D0E0F101112131415161718";
constexpr const char* kLoadFactoryKey = "FF 82 00 00 06 FFFFFFFFFFFF";
constexpr const char* kAuthenticate4 = "FF 86 00 00 05 01 00 04 60 00";
constexpr const char* kBlock = "00112233445566778899AABBCCDDEEFF";

class ContactlessReaderTest : public ::testing::Test {
 protected:
  void play(const Session& session) {
    SCOPED_TRACE(session.name);
    Card card = blankCard(session.card, 0xC0FFEE01);
    if (holdsRecord(session.card)) setCardRecord(card, *recordFromHex(kRecord));
    saveCard(file_, card);
    ContactlessReader reader(file_, warnings_, session.reader);
    for (const Step& step : session.steps) {
      SCOPED_TRACE(step.command);
      if (step.command == kReset) {
        reader.resetCard();
      } else if (step.command == kCardAway) {
        std::filesystem::rename(file_, dir_ / "away");
        EXPECT_EQ(toHex(reader.answer(bytes("FF CA 00 00 00"))), "6300");
        std::filesystem::rename(dir_ / "away", file_);
      } else if (step.command == kCardSwapped) {
        saveCard(file_, blankCard(session.card, 0xC0FFEE02));
      } else {
        EXPECT_EQ(toHex(reader.answer(bytes(step.command))), toHex(bytes(step.response)));
      }
    }
  }

  testing::TempDir dir_;
  const std::filesystem::path file_ = dir_ / "card";
  std::ostringstream warnings_;
};

TEST_F(ContactlessReaderTest, AnswersLikeAReaderWithAMifareCardOnIt) {
  const std::string write5 = std::string("FF D6 00 05 10 ") + kBlock;
  const std::string read5 = std::string(kBlock) + " 9000";
  const std::string record4 = "0102030405060708090A0B0C0D0E0F10 9000";
  const Session sessions[] = {
      {"the UID, whole or with its exact length; instructions and classes it does not know",
       CardType::Mifare1K,
       {{"FF CA 00 00 00", "C0FFEE01 9000"},
        {"FF CA 00 00 08", "C0FFEE01 6282"},  // all there is, and that it is less
        {"FF CA 00 00", "67 00"},
        // Instructions and classes it does not know.
        {"FF 00 00 00 02 D4 02", "6A 81"}}},
      {"blocks open only after the sector's key A or B",
       CardType::Mifare1K,
       {{"FF B0 00 04 10", "63 00"},
        {write5, "63 00"},
        {kLoadFactoryKey, "90 00"},
        {kAuthenticate4, "90 00"},
        {"FF B0 00 04 10", record4},
        {"FF B0 00 04 00", record4},
        {"FF B0 00 08 10", "63 00"},  // another sector
        {write5, "90 00"},
        {"FF B0 00 05 10", read5},
        {"FF 86 00 00 05 01 00 05 61 00", "90 00"},
        {"FF B0 00 06 10", "00000000000000000000000000000000 9000"},
        {"FF 86 00 00 05 01 00 04 60 01", "63 00"}}},  // an empty key slot
      {"a wrong key halts the chip until it is reset; so does a card that leaves or is swapped",
       CardType::Mifare1K,
       {{"FF 82 00 01 06 000000000000", "90 00"},
        {kLoadFactoryKey, "90 00"},
        {"FF 86 00 00 05 01 00 04 60 01", "63 00"},
        {kAuthenticate4, "63 00"},
        {kReset, ""},
        {kAuthenticate4, "90 00"},
        {"FF B0 00 04 10", record4},
        // Reset, a card that leaves and another in its place close the sector; the reader keeps
        // its keys.
        {kReset, ""},
        {"FF B0 00 04 10", "63 00"},
        {kAuthenticate4, "90 00"},
        {kCardAway, ""},
        {"FF B0 00 04 10", "63 00"},
        {kAuthenticate4, "90 00"},
        {kCardSwapped, ""},
        {"FF D6 00 04 10 " + std::string(kBlock), "63 00"},
        {"FF CA 00 00 00", "C0FFEE02 90 00"},
        {kAuthenticate4, "90 00"},
        {"FF B0 00 04 10", "00000000000000000000000000000000 90 00"}}},
      // Each family refuses a key slot it does not offer in its own way (the driver's rows on
      // the virtual reader show each family's write refusal).
      {"Identiv", CardType::Mifare1K, {{kLoadFactoryKey, "69 88"}}, ReaderFamily::Identiv},
      {"OMNIKEY", CardType::Mifare1K, {{kLoadFactoryKey, "69 86"}}, ReaderFamily::Omnikey},
      {"a 4K card: sectors of sixteen blocks from block 128",
       CardType::Mifare4K,
       {{kLoadFactoryKey, "90 00"},
        {"FF 86 00 00 05 01 00 C8 60 00", "90 00"},
        {"FF B0 00 CF 10", "000000000000 FF078069 FFFFFFFFFFFF 9000"},
        {"FF B0 00 BF 10", "63 00"},
        {std::string("FF D6 00 C0 10 ") + kBlock, "90 00"},
        {std::string("FF D6 00 CF 10 ") + kBlock, "63 00"}}},
      {"the maker's block and the trailers never change; key A never reads back; lengths and "
       "parameters the reader checks itself",
       CardType::Mifare1K,
       {{kLoadFactoryKey, "90 00"},
        {"FF 86 00 00 05 01 00 00 60 00", "90 00"},
        {std::string("FF D6 00 00 10 ") + kBlock, "63 00"},
        {std::string("FF D6 00 03 10 ") + kBlock, "63 00"},
        {"FF B0 00 03 10", "000000000000 FF078069 FFFFFFFFFFFF 9000"},
        {"FF B0 00 00 10", "C0FFEE01 D0 08 0400 0000000000000000 9000"},
        // Lengths and parameters the reader checks itself.
        {kAuthenticate4, "90 00"},
        {"FF D6 00 04 0F 00112233445566778899AABBCCDDEE", "67 00"},
        {"FF B0 00 04 08", "6C 10"},
        {"FF B0 00 04 10 00", "67 00"},
        {"FF B0 00 40 10", "6A 82"},
        {"FF 86 00 00 05 02 00 04 60 00", "6B 00"},
        {"FF 82 00 02 06 FFFFFFFFFFFF", "6B 00"},
        {"FF B0 00 04 10", record4}}},  // none of it closed the sector
      {"an Ultralight: seven-byte UID, no keys, four-byte pages read four at a time",
       CardType::MifareUltralight,
       {{"FF CA 00 00 00", "04 C0FFEE01 C1 11 9000"},
        {kLoadFactoryKey, "90 00"},
        {"FF 86 00 00 05 01 00 04 60 00", "63 00"},
        {"FF D6 00 0F 04 A1A2A3A4", "90 00"},
        {"FF B0 00 0E 10", "00000000 A1A2A3A4 04C0FF B3 EE01C111 9000"},
        {"FF D6 00 03 04 A1A2A3A4", "63 00"},
        {"FF B0 00 10 10", "6A 82"}}},
      {"a 125 kHz card is not seen", CardType::T5557, {{"FF CA 00 00 00", "63 00"}}},
  };
  for (const Session& session : sessions) play(session);
  EXPECT_EQ(warnings_.str(), "");
}

}  // namespace
}  // namespace keycard::emulator
