// Key cards and data cards written and read through the real drivers and the reader emulator:
// what lands on the card, what a card shows, and a card that is missing or torn away.
#include <QCheckBox>
#include <QLineEdit>
#include <filesystem>
#include <map>

#include "EmulatedReaderTest.h"

namespace keycard::testing {
namespace {

constexpr char kStartImage[] = "013330330101010100060718120006071912000000235900";
// Type 7, hotel 12AB9F, area 3, floor 12, room 201, serial 4, flag 1, 25-01-31 08:30 to
// 25-02-01 11:00, daily 06:00 to 22:15, 2 further floors.
constexpr char kPrepared[] = "0712AB9F030CC90401250131083025020111000600221502";
const std::map<std::string, QString> kPreparedShown = {{"txtCardty", "7"},
                                                       {"txtHotel", "12AB9F"},
                                                       {"txtArea", "3"},
                                                       {"txtFloor", "12"},
                                                       {"txtRoom", "201"},
                                                       {"txtCardsno", "4"},
                                                       {"txtSdate", "25-01-31 08:30"},
                                                       {"txtEdate", "25-02-01 11:00"},
                                                       {"txtStime", "06:00"},
                                                       {"txtEtime", "22:15"},
                                                       {"txtFloorCnt", "2"}};

struct CardCase {
  const char* name;
  const char* cardType;
  const char* reader;
  int kind;
};

void PrintTo(const CardCase& c, std::ostream* out) {
  *out << c.name;
}

class EmulatedCard : public EmulatedReaderTest, public ::testing::WithParamInterface<CardCase> {
 protected:
  std::map<std::string, QString> fieldTexts() const {
    std::map<std::string, QString> texts;
    for (const auto& [name, shown] : kPreparedShown) texts[name] = text(name.c_str());
    return texts;
  }
};

TEST_P(EmulatedCard, StartTextsLandAsTheWorkedImageAndAPreparedCardReadsBack) {
  const CardCase& c = GetParam();
  const auto card = dir / "card";
  newCard(c.cardType, card);
  const auto reader = startReader(c.reader, card);
  openReader(c.kind);

  click("butWr");
  EXPECT_TRUE(text("lstSta").contains(QStringLiteral("OK"))) << text("lstSta").toStdString();
  EXPECT_EQ(cardRecord(card), kStartImage);

  newCard(c.cardType, card, kPrepared);  // another card laid on the reader
  click("butRd");
  EXPECT_EQ(text("lstSta"), QStringLiteral("RD 4469 OK"));
  EXPECT_EQ(fieldTexts(), kPreparedShown);
  EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), Qt::Checked);
}

TEST_P(EmulatedCard, NoCardOnTheReaderShowsAnErrorAndKeepsTheFields) {
  const CardCase& c = GetParam();
  const auto reader = startReader(c.reader, dir / "card");  // no card file: no card on the reader
  openReader(c.kind);
  const auto before = fieldTexts();

  for (const char* button : {"butRd", "butWr"}) {
    click(button);
    EXPECT_TRUE(text("lstSta").contains(QStringLiteral("Error"))) << button;
    EXPECT_EQ(fieldTexts(), before) << button;
  }
}

INSTANTIATE_TEST_SUITE_P(Cards, EmulatedCard,
                         ::testing::Values(CardCase{"T5557", "t5557", "proximity", 0},
                                           CardCase{"EM4469", "em4469", "proximity", 0},
                                           CardCase{"Mifare1K", "mifare1k", "mifare", 1}),
                         [](const auto& row) { return std::string(row.param.name); });

using EmulatedDataCard = EmulatedReaderTest;

TEST_F(EmulatedDataCard, SerialTwoWritesWordTwoOfAnEm4469) {
  newCard("em4469", dir / "card");
  const auto reader = startReader("proximity", dir / "card");
  openReader(0);
  control<QLineEdit>("txtCardsno")->setText(QStringLiteral("2"));

  click("cmdWriteData");

  EXPECT_TRUE(text("lstSta").startsWith(QStringLiteral("Wr 4469 OK  ")))
      << text("lstSta").toStdString();
  EXPECT_EQ(cardBlock(dir / "card", 2), "0A00110D");
}

using TornCard = EmulatedReaderTest;

TEST_F(TornCard, CardTakenAwayDuringTheWriteShowsAnError) {
  newCard("em4469", dir / "card");
  const auto reader = startReader("proximity", dir / "card", "tear");
  openReader(0);

  click("butWr");

  EXPECT_TRUE(text("lstSta").startsWith(QStringLiteral("Wr 4469 Error -")))
      << text("lstSta").toStdString();
  EXPECT_EQ(text("txtCardty"), QStringLiteral("01"));
  EXPECT_TRUE(std::filesystem::exists(dir / "card.torn"));
}

}  // namespace
}  // namespace keycard::testing
