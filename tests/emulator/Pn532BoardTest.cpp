// The emulated PN532 board, one frame after another from a board just powered on, as a host
// sends them: what it ACKs, what it answers, and what it lets through to the card.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "emulator/card/CardFile.h"
#include "emulator/pn532/Board.h"
#include "link/Pn532Frame.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator::pn532 {
namespace {

// Hex with or without spaces; "{uid}" stands for the card's UID, "{head}" for its first 12 bytes.
Bytes bytes(std::string text, const Card& card) {
  for (const auto& [name, value] :
       {std::pair{"{uid}", toHex(cardUid(card))},
        std::pair{"{head}",
                  toHex(card.blocks[0]) + toHex(card.blocks[1]) + toHex(card.blocks[2])}}) {
    if (const auto at = text.find(name); at != std::string::npos) {
      text.replace(at, std::string_view(name).size(), value);
    }
  }
  std::erase(text, ' ');
  return fromHex(text).value();
}

// A step: a command body (D4 ...) and the answer body the board sends after its ACK, "error"
// for the error frame, "" for nothing at all (no ACK either). A request or answer starting "raw "
// is the bytes on the line as they are.
struct Step {
  std::string request;
  std::string answer;
};
const Step kWakeUp = {"raw 55 55 00 00 00 00 00 00", ""};
const Step kSam = {"D4 14 01", "D5 15"};
const Step kList = {"D4 4A 01 00", "D5 4B 01 01 0004 08 04 {uid}"};
const Step kAuthenticate4 = {"D4 40 01 60 04 FFFFFFFFFFFF {uid}", "D5 41 00"};
const Step kRead4 = {"D4 40 01 30 04", "D5 41 00 0102030405060708090A0B0C0D0E0F10"};
const Step kCardAway = {"card away", ""};
const Step kCardBack = {"card back", ""};

struct Session {
  const char* name;
  CardType card;
  std::vector<Step> steps;
};

class Pn532BoardTest : public ::testing::Test {
 protected:
  void play(const Session& session) {
    SCOPED_TRACE(session.name);
    Card card = blankCard(session.card, 0xC0FFEE01);
    if (holdsRecord(session.card)) {
      setCardRecord(card, *recordFromHex("0102030405060708090A0B0C0D0E0F101112131415161718"));
    }
    saveCard(file_, card);
    Board board(file_, warnings_);
    Bytes input;
    for (const Step& step : session.steps) {
      SCOPED_TRACE(step.request);
      if (step.request == kCardAway.request || step.request == kCardBack.request) {
        const bool away = step.request == kCardAway.request;
        std::filesystem::rename(away ? file_ : dir_ / "away", away ? dir_ / "away" : file_);
        continue;
      }
      const bool raw = step.request.starts_with("raw ");
      const Bytes request = bytes(step.request.substr(raw ? 4 : 0), card);
      const Bytes sent = raw ? request : link::pn532::encodeFrame(request);
      input.insert(input.end(), sent.begin(), sent.end());
      Bytes out;
      for (const Exchange& exchange : board.take(input)) {
        out.insert(out.end(), exchange.ack.begin(), exchange.ack.end());
        out.insert(out.end(), exchange.answer.begin(), exchange.answer.end());
      }
      Bytes expected;
      if (step.answer.starts_with("raw ")) {
        expected = bytes(step.answer.substr(4), card);
      } else if (!step.answer.empty()) {
        expected.assign(link::pn532::kAck.begin(), link::pn532::kAck.end());
        const Bytes answer =
            step.answer == "error"
                ? Bytes(link::pn532::kErrorFrame.begin(), link::pn532::kErrorFrame.end())
                : link::pn532::encodeFrame(bytes(step.answer, card));
        expected.insert(expected.end(), answer.begin(), answer.end());
      }
      EXPECT_EQ(toHex(out), toHex(expected));
    }
  }

  testing::TempDir dir_;
  const std::filesystem::path file_ = dir_ / "card";
  std::ostringstream warnings_;
};

TEST_F(Pn532BoardTest, AnswersLikeABoardWithTheCardInItsField) {
  const Step read8 = {"D4 40 01 30 08", "D5 41 14"};
  const Step readHalted = {"D4 40 01 30 04", "D5 41 01"};
  const Session sessions[] = {
      {"asleep until the wake-up, then SAMConfiguration before anything else; after PowerDown "
       "the wake-up alone brings it back",
       CardType::Mifare1K,
       {{"D4 02", ""},
        kWakeUp,
        {"D4 02", ""},
        kSam,
        {"D4 02", "D5 03 32010607"},
        {"D4 00 00 6C69626E6663", "D5 01 00 6C69626E6663"},
        {"D4 32 01 01", "D5 33"},  // the field on: GetGeneralStatus says so
        {"D4 04", "D5 05 00 01 00 00"},
        {"D4 16 F0", "D5 17 00"},
        {"D4 02", ""},
        kWakeUp,
        {"D4 02", "D5 03 32010607"}}},
      {"frames it does not take; listing",
       CardType::Mifare1K,
       {kWakeUp,
        kSam,
        {"raw 00 00 FF 02 FE D4 02 2B 00", ""},  // a wrong DCS
        {"raw 00 00 FF 00 FF 00", ""},           // the host's ACK: nothing to abort
        {"raw 00 00 FF FF 00 00", "raw 00 00 FF 02 FE D5 15 16 00"},  // NACK: the answer again
        {"D4 FE", "error"},
        {"D4 14 02", "error"},  // a SAM mode other than normal
        {"D5 03", ""},
        // Listing: one type A card, none at other rates or for another UID.
        {"D4 40 01 30 04", "D5 41 27"},  // nothing selected yet
        {"D4 4A 01 03 00", "D5 4B 00"},
        {"D4 4A 01 00 C0FFEE02", "D5 4B 00"},
        {"D4 4A 01 00 {uid}", "D5 4B 01 01 0004 08 04 {uid}"},
        kList}},
      {"a sector opens with its key A; an access outside it, a wrong key or UID halts the card; "
       "a card that leaves and comes back is no longer selected",
       CardType::Mifare1K,
       {kWakeUp,
        kSam,
        kList,
        {"D4 40 01 30 04", "D5 41 14"},
        readHalted,
        kList,
        kAuthenticate4,
        kRead4,
        {"D4 40 01 A0 05 00112233445566778899AABBCCDDEEFF", "D5 41 00"},
        {"D4 40 01 30 05", "D5 41 00 00112233445566778899AABBCCDDEEFF"},
        read8,
        readHalted,
        kList,
        kAuthenticate4,
        kRead4,
        // A wrong key or UID halts the card until it is listed again.
        kList,
        {"D4 40 01 60 04 000000000000 {uid}", "D5 41 14"},
        readHalted,
        kList,
        {"D4 40 01 60 04 FFFFFFFFFFFF C0FFEE02", "D5 41 14"},
        kList,
        kAuthenticate4,
        kRead4,
        // A card that leaves and comes back is no longer selected.
        kCardAway,
        readHalted,
        {"D4 4A 01 00", "D5 4B 00"},
        kCardBack,
        {"D4 40 01 30 04", "D5 41 27"},
        kList,
        {"D4 40 01 30 04", "D5 41 14"}}},
      {"an Ultralight: no keys, four pages a read, wrapping round",
       CardType::MifareUltralight,
       {kWakeUp,
        kSam,
        {"D4 4A 01 00", "D5 4B 01 01 0044 00 07 {uid}"},
        {"D4 40 01 A2 04 11223344", "D5 41 00"},
        {"D4 42 30 04", "D5 43 00 11223344 000000000000000000000000"},
        {"D4 40 01 30 0F", "D5 41 00 00000000 {head}"},
        {"D4 4A 01 00", "D5 4B 01 01 0044 00 07 {uid}"},
        {"D4 40 01 60 04 FFFFFFFFFFFF 00000000", "D5 41 01"}}},
  };
  for (const Session& session : sessions) play(session);
}

}  // namespace
}  // namespace keycard::emulator::pn532
