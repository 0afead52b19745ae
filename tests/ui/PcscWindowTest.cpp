// The window on a PC/SC reader: "MF1" opened with KEYCARD_MIFARE_READER=pcsc, through the real
// Mifare driver, the private pcscd that scripts/private-pcscd.sh starts and the emulator's card on
// its virtual reader. The captions and the fields are those of the serial reader.
#include <QCheckBox>
#include <optional>

#include "tests/support/PrivatePcscd.h"
#include "tests/ui/EmulatedReaderTest.h"

namespace keycard::testing {
namespace {

class PcscWindow : public EmulatedReaderTest {
 protected:
  // A card of `type` on the virtual reader (none when empty); `keyA` empty for the factory key.
  std::unique_ptr<EmulatorProcess> layCard(const std::string& type, const std::string& keyA = {}) {
    if (!type.empty()) {
      newCard(type, card, std::nullopt, keyA.empty() ? std::nullopt : std::optional(keyA));
    }
    waitUntilVirtualReaderEmpty();
    return std::make_unique<EmulatorProcess>(
        EmulatorOptions{.kind = "mifare", .card = card, .vpcdPort = vpcdPort()});
  }

  const std::filesystem::path card = dir / "card";
  ScopedEnv choice{"KEYCARD_MIFARE_READER", "pcsc"};
};

TEST_F(PcscWindow, StartTextsLandAsTheWorkedImageAndAPreparedCardReadsBack) {
  const auto reader = layCard("mifare1k");
  openReader(1);
  click("butWr");
  EXPECT_EQ(text("lstSta"), QStringLiteral("Wr OK  0"));
  EXPECT_EQ(cardRecord(card), kStartTextsRecord);

  newCard("mifare1k", card, kPreparedRecord);  // another card laid on the reader
  click("butRd");
  EXPECT_EQ(text("lstSta"), QStringLiteral("RD 4469 OK"));
  EXPECT_EQ(fieldTexts(), kPreparedShown);
  EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), Qt::Checked);
}

TEST_F(PcscWindow, ACardItCannotUseShowsTheErrorAndChangesNeitherFieldsNorCard) {
  const struct {
    const char* card;  // "" for none
    const char* keyA;
    const char* write;
    const char* read;
  } rows[] = {
      {"", "", "Wr Error -6", "Rd Error -6"},
      {"mifare1k", "A5A5A5A5A5A5", "Wr Error -8", "Rd Error -8"},
      {"ultralight", "", "Wr Error -7", "Rd Error -7"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.card) + " " + row.keyA);
    std::filesystem::remove(card);
    const auto reader = layCard(row.card, row.keyA);
    openReader(1);
    const QStringList fields = fieldTexts();
    const std::string record = row.card[0] == '\0' ? "" : cardRecord(card);
    click("butWr");
    EXPECT_EQ(text("lstSta"), QString::fromLatin1(row.write));
    click("butRd");
    EXPECT_EQ(text("lstSta"), QString::fromLatin1(row.read));
    EXPECT_EQ(fieldTexts(), fields);
    if (!record.empty()) {
      EXPECT_EQ(cardRecord(card), record);
    }
  }
}

TEST_F(PcscWindow, AReaderNameThatMatchesNothingOpensNothing) {
  const auto reader = layCard("mifare1k");
  const ScopedEnv elsewhere("KEYCARD_MIFARE_READER", "pcsc:ACR122U");
  selectKind(1);
  click("butOpen");
  EXPECT_FALSE(control("butWr")->isEnabled());
  EXPECT_EQ(text("lstSta"), QString());  // the Mifare open shows nothing either way
  EXPECT_EQ(CardData::CommHandle, -3);
}

TEST_F(PcscWindow, PcscdStoppedShowsAPortErrorAndKeepsTheFields) {
  const auto reader = layCard("mifare1k", {});
  openReader(1);
  stopPrivatePcscd();
  const QStringList fields = fieldTexts();
  click("butWr");
  EXPECT_EQ(text("lstSta"), QStringLiteral("Wr Error -3"));
  click("butRd");
  EXPECT_EQ(text("lstSta"), QStringLiteral("Rd Error -3"));
  EXPECT_EQ(fieldTexts(), fields);
  EXPECT_EQ(cardRecord(card), std::string(48, '0'));
}

}  // namespace
}  // namespace keycard::testing
