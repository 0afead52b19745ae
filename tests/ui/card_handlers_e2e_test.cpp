// The window through the real drivers and the reader emulator: what lands on each kind of card,
// what a prepared card shows, a data card's block, and a card that is missing or torn away.
#include <QCheckBox>
#include <filesystem>

#include "EmulatedReaderTest.h"

namespace keycard::testing {
namespace {

// Type 7, hotel 12AB9F, area 3, floor 12, room 201, serial 4, flag 1, 25-01-31 08:30 to
// 25-02-01 11:00, daily 06:00 to 22:15, 2 further floors.
constexpr char kPrepared[] = "0712AB9F030CC90401250131083025020111000600221502";
const QStringList kPreparedShown = {
    "7",     "12AB9F", "3", "12", "201", "4", "25-01-31 08:30", "25-02-01 11:00",
    "06:00", "22:15",  "2"};

// The parameter is the card's type, as the emulator names it.
class EmulatedCard : public EmulatedReaderTest,
                     public ::testing::WithParamInterface<std::string> {};

TEST_P(EmulatedCard, StartTextsLandAsTheWorkedImageAndAPreparedCardReadsBack) {
  const int kind = GetParam() == "mifare1k" ? 1 : 0;
  newCard(GetParam(), dir / "card");
  const auto reader = startReader(kind == 1 ? "mifare" : "proximity", dir / "card");
  openReader(kind);

  click("butWr");
  EXPECT_TRUE(text("lstSta").contains(QStringLiteral("OK"))) << text("lstSta").toStdString();
  EXPECT_EQ(cardRecord(dir / "card"), "013330330101010100060718120006071912000000235900");

  newCard(GetParam(), dir / "card", kPrepared);  // another card laid on the reader
  click("butRd");
  EXPECT_EQ(text("lstSta"), QStringLiteral("RD 4469 OK"));
  EXPECT_EQ(fieldTexts(), kPreparedShown);
  EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), Qt::Checked);
}

INSTANTIATE_TEST_SUITE_P(Cards, EmulatedCard, ::testing::Values("t5557", "em4469", "mifare1k"),
                         [](const auto& row) { return row.param; });

using EmulatedReader = EmulatedReaderTest;

TEST_F(EmulatedReader, NoCardShowsAnErrorAndKeepsTheFields) {
  const auto reader = startReader("mifare", dir / "card");  // no card file: no card on the reader
  openReader(1);
  const QStringList before = fieldTexts();
  for (const char* button : {"butRd", "butWr"}) {
    click(button);
    EXPECT_TRUE(text("lstSta").contains(QStringLiteral("Error"))) << button;
    EXPECT_EQ(fieldTexts(), before) << button;
  }
}

TEST_F(EmulatedReader, Em4469SerialTwoWritesTheDataBlockToWordTwo) {
  newCard("em4469", dir / "card");
  const auto reader = startReader("proximity", dir / "card");
  openReader(0);
  control<QLineEdit>("txtCardsno")->setText(QStringLiteral("2"));
  click("cmdWriteData");
  EXPECT_TRUE(text("lstSta").startsWith("Wr 4469 OK  ")) << text("lstSta").toStdString();
  EXPECT_EQ(cardBlock(dir / "card", 2), "0A00110D");
}

TEST_F(EmulatedReader, Em4469TakenAwayDuringTheWriteShowsAnErrorAndKeepsTheFields) {
  newCard("em4469", dir / "card");
  const auto reader = startReader("proximity", dir / "card", "tear");
  openReader(0);
  const QStringList before = fieldTexts();
  click("butWr");
  EXPECT_TRUE(text("lstSta").startsWith("Wr 4469 Error -")) << text("lstSta").toStdString();
  EXPECT_EQ(fieldTexts(), before);
  EXPECT_TRUE(std::filesystem::exists(dir / "card.torn"));
}

}  // namespace
}  // namespace keycard::testing
