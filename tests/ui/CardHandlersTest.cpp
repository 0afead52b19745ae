// The card handlers against recording stand-ins of the drivers, without the hex library (so the
// hotel code of a card read shows through the window's own routine): the image handed over,
// the captions and where the beep falls, what a read shows, and refused fields.
#include <QCheckBox>
#include <utility>
#include <vector>

#include "tests/support/WorkedRecord.h"
#include "tests/ui/WindowTestSupport.h"
#include "tests/ui/standins/Recorder.h"

namespace keycard::testing {
namespace {

using standin::recorder;

// What the start texts write, byte 0 first.
const std::string kImage = standin::hex(kWorkedRecord.data(), kWorkedRecord.size());

// The card on the reader: type 255, hotel AB12CD, area 2, floor 3, room 4, serial 5, flag 1, a
// start date with a non-BCD month 1A, end 26-12-31 23:59, times 07:05 to 18:30, 9 floors.
const standin::Image kCard = {0xFF, 0xAB, 0x12, 0xCD, 0x02, 0x03, 0x04, 0x05,
                              0x01, 0x06, 0x1A, 0x18, 0x12, 0x00, 0x26, 0x12,
                              0x31, 0x23, 0x59, 0x07, 0x05, 0x18, 0x30, 0x09};
const QStringList kCardShown = {
    "255", "AB12CD", "2", "3", "4", "5", "06-1A-18 12:00", "26-12-31 23:59", "07:05", "18:30", "9"};

class CardHandlerTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    recorder() = {};
    recorder().card = kCard;
    // Different on purpose: reads pass CommHandle, writes DevHandle.
    CardData::CommHandle = 5;
    CardData::DevHandle = 6;
    for (const char* button : {"butWr", "butRd", "butBeep"}) control(button)->setEnabled(true);
    control<QLabel>("lstSta")->setText(QStringLiteral("earlier"));
    startTexts = fieldTexts();
  }

  QStringList startTexts;
};

// A refused field calls no driver, names itself and says in full what it accepts, puts the
// operator back into it with its text selected, and leaves the record and the buffer as they were.
TEST_F(CardHandlerTest, RefusedFieldsAreNamedInOrderAndTheStartTextsWriteTheWorkedImage) {
  ASSERT_TRUE(showActive());
  CardData::CardInfo.Room = 42;
  CardData::CardBuf[6] = 43;
  const auto before = std::pair(CardData::toImage(CardData::CardInfo), CardData::CardBuf);
  auto* status = control<QLabel>("lstSta");
  // With every field refused, each click names the first one still refused.
  for (const char* field : kFieldNames) control<QLineEdit>(field)->setText("256");
  QStringList refused;
  for (int i = 0; const char* name : kFieldNames) {
    click("butWr");
    refused << status->text().section(QStringLiteral(": "), 0, 0);
    EXPECT_TRUE(status->contentsRect().contains(status->fontMetrics().boundingRect(
        status->contentsRect(), status->wordWrap() ? Qt::TextWordWrap : 0, status->text())))
        << "cut off: " << status->text().toStdString();
    auto* field = control<QLineEdit>(name);
    EXPECT_TRUE(field->hasFocus() && field->selectedText() == field->text()) << name;
    field->setText(startTexts[i++]);
  }
  control<QLineEdit>("txtCardsno")->setText("20");
  click("cmdWriteData");
  EXPECT_EQ(status->text(), "Card serial number: enter a card number from -32768 to 19");
  EXPECT_TRUE(control("txtCardsno")->hasFocus());
  control<QLineEdit>("txtCardsno")->setText("01");
  EXPECT_TRUE(recorder().calls.empty());
  EXPECT_EQ(refused,
            QStringList({"Card type", "Hotel code", "Area", "Floor", "Room", "Card serial number",
                         "Valid from", "Valid until", "Daily start time", "Daily end time",
                         "Further floors or sub-room"}));
  EXPECT_EQ(std::pair(CardData::toImage(CardData::CardInfo), CardData::CardBuf), before);

  control<QCheckBox>("chkDis")->setCheckState(Qt::Checked);  // only shows a card's flag
  click("butWr");
  selectKind(1);
  click("butWr");

  EXPECT_EQ(recorder().calls,
            (std::vector<std::string>{"T5557_WriteCard(6, " + kImage + ")", "ML_ControlBeep(0, 1)",
                                      "wrkey_mif1(6, " + kImage + ")", "dv_beep(6, 1)"}));
  EXPECT_EQ(standin::hex(CardData::CardBuf.data(), CardData::CardBuf.size()), kImage);
  EXPECT_EQ(CardData::toImage(CardData::CardInfo), CardData::CardBuf);
}

struct ResultCase {
  const char* name;
  const char* button;
  int kind;
  std::int32_t result;
  const char* status;
  const char* beep;  // with the status line it saw; "" for none
  friend void PrintTo(const ResultCase& c, std::ostream* out) { *out << c.name; }
};

// The driver operation each button calls on each kind.
std::string driverCall(int kind, const std::string& button) {
  if (button == "cmdWriteData") return "EM4150_WriteBlock(6, 2, 0A 00 11 00)";
  if (button == "butRd") return kind == 0 ? "T5557_ReadCard(5)" : "rdkey_mif1(5)";
  return (kind == 0 ? "T5557_WriteCard(6, " : "wrkey_mif1(6, ") + kImage + ")";
}

const ResultCase kResults[] = {
    {"T5557Write0", "butWr", 0, 0, "Wr 4469 OK  0", "ML_ControlBeep(0, 1) sees Wr 4469 OK  0"},
    {"T5557WriteMinus2", "butWr", 0, -2, "Wr 4469 Error -2", ""},
    {"MF1Write0", "butWr", 1, 0, "Wr OK  0", "dv_beep(6, 1) sees Wr OK  0"},
    {"MF1Write1IsAnError", "butWr", 1, 1, "Wr Error  1", ""},
    {"T5557Read0", "butRd", 0, 0, "RD 4469 OK", "ML_ControlBeep(0, 1) sees earlier"},
    {"T5557Read4", "butRd", 0, 4, "RD 4469 OK", "ML_ControlBeep(0, 1) sees earlier"},
    {"T5557ReadMinus1", "butRd", 0, -1, "Rd 4469 Error -1", ""},
    {"MF1Read0", "butRd", 1, 0, "RD 4469 OK", "dv_beep(5, 1) sees earlier"},
    {"MF1Read1IsAnError", "butRd", 1, 1, "Rd Error  1", ""},
    {"DataCardOnT5557WhicheverKindIsShown", "cmdWriteData", 1, 0, "Wr 4469 OK  0", ""},
};

class DriverResult : public CardHandlerTest, public ::testing::WithParamInterface<ResultCase> {};

// The beep follows the caption of a write and comes before any field of a read changes. A failed
// read leaves every field; the stand-in spoils the buffer, so showing it would show.
TEST_P(DriverResult, SetsTheCaptionBeepsOnlyOnSuccessAndShowsOnlyACardRead) {
  const ResultCase& c = GetParam();
  selectKind(c.kind);
  const std::string call = driverCall(c.kind, c.button);
  recorder().results[call.substr(0, call.find('('))] = {c.result};
  recorder().observer = [this] { return text("lstSta").toStdString(); };

  click(c.button);

  // The status line is set only after the driver answers, and on a read only after the beep.
  std::vector<std::string> calls{call + " sees earlier"};
  if (*c.beep != '\0') calls.emplace_back(c.beep);
  EXPECT_EQ(recorder().calls, calls);
  EXPECT_EQ(text("lstSta"), QString::fromLatin1(c.status));
  const bool shown = text("lstSta") == QStringLiteral("RD 4469 OK");
  EXPECT_EQ(fieldTexts(), shown ? kCardShown : startTexts);
  EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), shown ? Qt::Checked : Qt::Unchecked);
}

INSTANTIATE_TEST_SUITE_P(Cases, DriverResult, ::testing::ValuesIn(kResults),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::testing
