// The window through the real drivers and the reader emulator: what lands on each kind of card
// and what a prepared card shows. A missing card, a data card's block and a card torn away are
// among the cases of the fault campaign.
#include <QCheckBox>

#include "tests/ui/EmulatedReaderTest.h"

namespace keycard::testing {
namespace {

// The parameter is the card's type, as the emulator names it, or "pn532": a Mifare 1K card on a
// PN532 board, which the open finds on the port by itself.
class EmulatedCard : public EmulatedReaderTest,
                     public ::testing::WithParamInterface<std::string> {};

TEST_P(EmulatedCard, StartTextsLandAsTheWorkedImageAndAPreparedCardReadsBack) {
  const bool pn532 = GetParam() == "pn532";
  const std::string cardType = pn532 ? "mifare1k" : GetParam();
  const int kind = cardType == "mifare1k" ? 1 : 0;
  newCard(cardType, dir / "card");
  const auto reader = startReader(pn532       ? "pn532"
                                  : kind == 1 ? "mifare"
                                              : "proximity",
                                  dir / "card");
  openReader(kind);

  click("butWr");
  EXPECT_TRUE(text("lstSta").contains(QStringLiteral("OK"))) << text("lstSta").toStdString();
  EXPECT_EQ(cardRecord(dir / "card"), kStartTextsRecord);

  newCard(cardType, dir / "card", kPreparedRecord);  // another card laid on the reader
  click("butRd");
  EXPECT_EQ(text("lstSta"), QStringLiteral("RD 4469 OK"));
  EXPECT_EQ(fieldTexts(), kPreparedShown);
  EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), Qt::Checked);
}

INSTANTIATE_TEST_SUITE_P(Cards, EmulatedCard,
                         ::testing::Values("t5557", "em4469", "mifare1k", "pn532"),
                         [](const auto& row) { return row.param; });

}  // namespace
}  // namespace keycard::testing
