// The window through the real drivers and the reader emulator: what lands on each kind of card,
// what a prepared card shows, a data card's block, and a card that is missing. A card torn away
// is among the reader faults of the fault campaign.
#include <QCheckBox>

#include "tests/ui/EmulatedReaderTest.h"

namespace keycard::testing {
namespace {

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
  EXPECT_EQ(cardRecord(dir / "card"), kStartTextsRecord);

  newCard(GetParam(), dir / "card", kPreparedRecord);  // another card laid on the reader
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

}  // namespace
}  // namespace keycard::testing
