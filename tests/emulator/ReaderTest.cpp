#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "EmulatorProcess.h"
#include "emulator/CardFile.h"
#include "emulator/Reader.h"

namespace keycard::emulator {
namespace {

using link::Command;
using link::Status;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kStatusOk = 0x00;
constexpr const char* kRecordHex = "0102030405060708090A0B0C0D0E0F101112131415161718";

class ReaderTest : public ::testing::Test {
 protected:
  std::filesystem::path cardFile() const { return dir_ / "card"; }

  void putCard(CardType type) {
    Card card = blankCard(type, 0xC0FFEE01);
    setCardRecord(card, *recordFromHex(kRecordHex));
    saveCard(cardFile(), card);
  }

  // The reply's payload: status first.
  Bytes ask(ReaderKind kind, Command command, Bytes payload = {}) {
    if (!reader_ || kind != kind_) reader_.emplace(kind, cardFile(), warnings_);
    kind_ = kind;
    return askRaw(static_cast<std::uint8_t>(command), std::move(payload));
  }
  Bytes askRaw(std::uint8_t command, Bytes payload) {
    const link::Frame reply = reader_->answer({command, std::move(payload)});
    EXPECT_EQ(reply.command, command | link::kReplyBit);
    EXPECT_FALSE(reply.payload.empty());
    return reply.payload;
  }
  static std::uint8_t status(const Bytes& reply) { return reply.empty() ? 0xEE : reply[0]; }

  testing::TempDir dir_;
  std::ostringstream warnings_;
  std::optional<Reader> reader_;
  ReaderKind kind_ = ReaderKind::Proximity;
};

Bytes withKeyA(std::uint8_t block, std::uint8_t keyByte = 0xFF) {
  return {block, link::kMifareKeyA, keyByte, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}

Bytes block16(std::uint8_t block, std::uint8_t fill) {
  Bytes payload(17, fill);
  payload[0] = block;
  return payload;
}

TEST(CardModel, BlankCardsHaveTheirFixedPartsAndTheRecordInItsPlace) {
  struct Row {
    CardType type;
    std::size_t blocks;
    std::size_t recordBlock;  // the first block of the record
  };
  for (const Row& row :
       {Row{CardType::T5557, 8, 1}, Row{CardType::EM4469, 16, 5}, Row{CardType::Mifare1K, 64, 4}}) {
    SCOPED_TRACE(std::string(cardTypeName(row.type)));
    Card card = blankCard(row.type, 0x11223344);
    ASSERT_EQ(card.blocks.size(), row.blocks);
    EXPECT_EQ(toHex(cardRecord(card)), std::string(48, '0'));
    setCardRecord(card, *recordFromHex(kRecordHex));
    EXPECT_EQ(toHex(cardRecord(card)), kRecordHex);
    EXPECT_EQ(card.blocks[row.recordBlock][0], 0x01);
  }
  EXPECT_EQ(toHex(blankCard(CardType::T5557, 1).blocks[0]), "000880E0");
  EXPECT_EQ(toHex(blankCard(CardType::EM4469, 0x11223344).blocks[1]), "11223344");

  Card mifare = blankCard(CardType::Mifare1K, 0x11223344);
  EXPECT_EQ(toHex(mifare.blocks[0]).substr(0, 16), "1122334444080400");  // UID, BCC, SAK, ATQA
  for (std::size_t sector = 0; sector < 16; ++sector) {
    EXPECT_EQ(toHex(mifare.blocks[sector * 4 + 3]), "FFFFFFFFFFFFFF078069FFFFFFFFFFFF");
  }
  setCardRecord(mifare, *recordFromHex(kRecordHex));
  EXPECT_EQ(toHex(mifare.blocks[5]), "11121314151617180000000000000000");
}

TEST_F(ReaderTest, SelectCardReportsTypeAndUidOrWhyNot) {
  const auto select = [&](ReaderKind kind) { return ask(kind, Command::SelectCard); };
  EXPECT_EQ(select(ReaderKind::Proximity), Bytes{static_cast<std::uint8_t>(Status::NoCard)});
  EXPECT_EQ(select(ReaderKind::Mifare), Bytes{static_cast<std::uint8_t>(Status::NoCard)});

  putCard(CardType::T5557);
  EXPECT_EQ(select(ReaderKind::Proximity), (Bytes{kStatusOk, 0x01, 0, 0, 0, 0}));
  EXPECT_EQ(select(ReaderKind::Mifare), Bytes{static_cast<std::uint8_t>(Status::WrongCardKind)});
  putCard(CardType::EM4469);
  EXPECT_EQ(select(ReaderKind::Proximity), (Bytes{kStatusOk, 0x02, 0xC0, 0xFF, 0xEE, 0x01}));
  putCard(CardType::Mifare1K);
  EXPECT_EQ(select(ReaderKind::Mifare), (Bytes{kStatusOk, 0x03, 0xC0, 0xFF, 0xEE, 0x01}));
  EXPECT_EQ(select(ReaderKind::Proximity), Bytes{static_cast<std::uint8_t>(Status::WrongCardKind)});
}

TEST_F(ReaderTest, GetVersionNamesTheReader) {
  const Bytes prox = ask(ReaderKind::Proximity, Command::GetVersion);
  EXPECT_EQ(std::string(prox.begin() + 1, prox.end()), "KC-PROX 1.0");
  const Bytes mif = ask(ReaderKind::Mifare, Command::GetVersion);
  EXPECT_EQ(std::string(mif.begin() + 1, mif.end()), "KC-MIF 1.0");
}

TEST_F(ReaderTest, ProximityStatuses) {
  struct Row {
    const char* name;
    CardType card;
    std::uint8_t command;
    Bytes payload;
    Status expected;
  };
  const auto cmd = [](Command c) { return static_cast<std::uint8_t>(c); };
  const Row rows[] = {
      {"T5557 last block", CardType::T5557, cmd(Command::ReadBlock), {7}, Status::Ok},
      {"T5557 beyond", CardType::T5557, cmd(Command::ReadBlock), {8}, Status::BadArgument},
      {"EM4469 last word", CardType::EM4469, cmd(Command::ReadBlock), {15}, Status::Ok},
      {"EM4469 beyond", CardType::EM4469, cmd(Command::ReadBlock), {16}, Status::BadArgument},
      {"read without block", CardType::T5557, cmd(Command::ReadBlock), {}, Status::BadArgument},
      {"T5557 configuration",
       CardType::T5557,
       cmd(Command::WriteBlock),
       {0, 1, 2, 3, 4},
       Status::ReadOnly},
      {"T5557 data block 2",
       CardType::T5557,
       cmd(Command::WriteBlock),
       {2, 1, 2, 3, 4},
       Status::Ok},
      {"EM4469 UID", CardType::EM4469, cmd(Command::WriteBlock), {1, 1, 2, 3, 4}, Status::ReadOnly},
      {"EM4469 data word",
       CardType::EM4469,
       cmd(Command::WriteBlock),
       {2, 0x0A, 0, 0x11, 5},
       Status::Ok},
      {"short write",
       CardType::EM4469,
       cmd(Command::WriteBlock),
       {5, 1, 2, 3},
       Status::BadArgument},
      {"Mifare-sized write", CardType::T5557, cmd(Command::WriteBlock), block16(1, 0),
       Status::BadArgument},
      {"authenticate", CardType::T5557, cmd(Command::Authenticate), withKeyA(4),
       Status::UnknownCommand},
      {"no such command", CardType::T5557, 0x7F, {}, Status::UnknownCommand},
      {"a reply as request", CardType::T5557, 0x81, {}, Status::UnknownCommand},
      {"beep", CardType::T5557, cmd(Command::Beep), {2}, Status::Ok},
      {"RF on", CardType::T5557, cmd(Command::ControlRf), {1}, Status::Ok},
      {"RF without mode", CardType::T5557, cmd(Command::ControlRf), {}, Status::BadArgument},
      {"version with args", CardType::T5557, cmd(Command::GetVersion), {1}, Status::BadArgument},
      {"select with args", CardType::T5557, cmd(Command::SelectCard), {1}, Status::BadArgument},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    putCard(row.card);
    reader_.emplace(ReaderKind::Proximity, cardFile(), warnings_);
    EXPECT_EQ(status(askRaw(row.command, row.payload)), static_cast<std::uint8_t>(row.expected));
  }
}

TEST_F(ReaderTest, ProximityWritesReachTheFileAndReadBack) {
  putCard(CardType::EM4469);
  ASSERT_EQ(status(ask(ReaderKind::Proximity, Command::WriteBlock, {10, 0xDE, 0xAD, 0xBE, 0xEF})),
            kStatusOk);
  EXPECT_EQ(ask(ReaderKind::Proximity, Command::ReadBlock, {10}),
            (Bytes{kStatusOk, 0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(testing::cardBlock(cardFile(), 10), "DEADBEEF");
  EXPECT_EQ(testing::cardRecord(cardFile()).substr(40), "DEADBEEF");
}

TEST_F(ReaderTest, MifareNeedsKeyAForTheSectorFirst) {
  putCard(CardType::Mifare1K);
  const auto mif = [&](Command command, Bytes payload) {
    return status(ask(ReaderKind::Mifare, command, std::move(payload)));
  };
  const auto st = [](Status s) { return static_cast<std::uint8_t>(s); };

  EXPECT_EQ(mif(Command::ReadBlock, {4}), st(Status::AuthFailed));
  EXPECT_EQ(mif(Command::Authenticate, withKeyA(4, 0x00)), st(Status::AuthFailed));
  EXPECT_EQ(mif(Command::ReadBlock, {4}), st(Status::AuthFailed));
  EXPECT_EQ(mif(Command::Authenticate, {4, 0x61, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
            st(Status::BadArgument));
  EXPECT_EQ(mif(Command::Authenticate, withKeyA(64)), st(Status::BadArgument));

  ASSERT_EQ(mif(Command::Authenticate, withKeyA(4)), kStatusOk);
  const Bytes block4 = ask(ReaderKind::Mifare, Command::ReadBlock, {4});
  EXPECT_EQ(toHex(block4), "000102030405060708090A0B0C0D0E0F10");
  EXPECT_EQ(mif(Command::WriteBlock, block16(6, 0x5A)), kStatusOk);
  EXPECT_EQ(mif(Command::WriteBlock, block16(7, 0x00)), st(Status::ReadOnly));
  EXPECT_EQ(toHex(ask(ReaderKind::Mifare, Command::ReadBlock, {7})),
            "00000000000000FF078069FFFFFFFFFFFF");  // key A never reads back
  EXPECT_EQ(mif(Command::ReadBlock, {8}), st(Status::AuthFailed));
  EXPECT_EQ(mif(Command::WriteBlock, block16(8, 0)), st(Status::AuthFailed));
  EXPECT_EQ(mif(Command::WriteBlock, {4, 1, 2, 3, 4}), st(Status::BadArgument));

  ASSERT_EQ(mif(Command::Authenticate, withKeyA(0)), kStatusOk);
  EXPECT_EQ(mif(Command::WriteBlock, block16(0, 0)), st(Status::ReadOnly));
  EXPECT_EQ(mif(Command::WriteBlock, block16(1, 0x77)), kStatusOk);

  // A new selection, or the card leaving, forgets the authentication.
  EXPECT_EQ(mif(Command::SelectCard, {}), kStatusOk);
  EXPECT_EQ(mif(Command::ReadBlock, {1}), st(Status::AuthFailed));
  ASSERT_EQ(mif(Command::Authenticate, withKeyA(1)), kStatusOk);
  std::filesystem::rename(cardFile(), dir_ / "away");
  EXPECT_EQ(mif(Command::ReadBlock, {1}), st(Status::NoCard));
  std::filesystem::rename(dir_ / "away", cardFile());
  EXPECT_EQ(mif(Command::ReadBlock, {1}), st(Status::AuthFailed));

  EXPECT_EQ(testing::cardBlock(cardFile(), 6), "5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A");
  EXPECT_EQ(testing::cardBlock(cardFile(), 1), "77777777777777777777777777777777");
}

TEST_F(ReaderTest, AnUnreadableCardFileIsNoCardWithAWarning) {
  std::ofstream(cardFile()) << "type t5557\nblock 00: 1234\n";
  EXPECT_EQ(status(ask(ReaderKind::Proximity, Command::SelectCard)),
            static_cast<std::uint8_t>(Status::NoCard));
  EXPECT_NE(warnings_.str().find("must be 8 hex digits"), std::string::npos) << warnings_.str();
}

}  // namespace
}  // namespace keycard::emulator
