// The card handlers against recording stand-ins of the drivers: the image handed over, the
// captions and where the beep falls, a read shown field by field, and refused fields.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <map>
#include <vector>

#include "Recorder.h"
#include "WindowTestSupport.h"

namespace keycard::testing {
namespace {

const char* const kFields[] = {"txtCardty", "txtHotel",   "txtArea",    "txtFloor",
                               "txtRoom",   "txtCardsno", "txtSdate",   "txtEdate",
                               "txtStime",  "txtEtime",   "txtFloorCnt"};

// What the start texts write, byte 0 first.
const char kStartImage[] =
    "01 33 30 33 01 01 01 01 00 06 07 18 12 00 06 07 19 12 00 00 00 23 59 00";

// A card on the stand-in reader: type 255, hotel AB12CD, area 2, floor 3, room 4, serial 5,
// flag 1, a start date with a non-BCD month 1A, end 26-12-31 23:59, times 07:05 to 18:30, 9 floors.
const standin::Image kCardOnReader = {0xFF, 0xAB, 0x12, 0xCD, 0x02, 0x03, 0x04, 0x05,
                                      0x01, 0x06, 0x1A, 0x18, 0x12, 0x00, 0x26, 0x12,
                                      0x31, 0x23, 0x59, 0x07, 0x05, 0x18, 0x30, 0x09};
// clang-format off
const std::vector<std::pair<const char*, const char*>> kCardOnReaderShown = {
    {"txtCardty", "255"}, {"txtHotel", "AB12CD"}, {"txtArea", "2"}, {"txtFloor", "3"},
    {"txtRoom", "4"}, {"txtCardsno", "5"}, {"txtSdate", "06-1A-18 12:00"},
    {"txtEdate", "26-12-31 23:59"}, {"txtStime", "07:05"}, {"txtEtime", "18:30"},
    {"txtFloorCnt", "9"}};
// clang-format on

class CardHandlerTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    standin::reset();
    standin::setCard(kCardOnReader);
    // Different on purpose: reads pass CommHandle, writes DevHandle.
    CardData::CommHandle = 5;
    CardData::DevHandle = 6;
    for (const char* button : {"butWr", "butRd", "butBeep"}) control(button)->setEnabled(true);
    control<QLabel>("lstSta")->setText(QStringLiteral("earlier"));
    // Each call notes the status line and the card type field at that moment.
    standin::observe([this] {
      return (text("lstSta") + QStringLiteral(" | ") + text("txtCardty")).toStdString();
    });
  }

  std::map<std::string, QString> fieldTexts() const {
    std::map<std::string, QString> texts;
    for (const char* name : kFields) texts[name] = text(name);
    return texts;
  }

  void showAndActivate() const {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
};

TEST_F(CardHandlerTest, StartTextsWriteTheWorkedImageWithFlagZeroOnBothReaders) {
  control<QCheckBox>("chkDis")->setCheckState(Qt::Checked);  // never written
  click("butWr");
  selectKind(1);
  click("butWr");

  EXPECT_EQ(standin::calls(),
            (std::vector<std::string>{
                "T5557_WriteCard(6, " + std::string(kStartImage) + ")", "ML_ControlBeep(0, 1)",
                "wrkey_mif1(6, " + std::string(kStartImage) + ")", "dv_beep(6, 1)"}));
  EXPECT_EQ(standin::hex(CardData::CardBuf.data(), 24), kStartImage);
  EXPECT_EQ(CardData::toImage(CardData::CardInfo), CardData::CardBuf);
}

struct ResultCase {
  const char* name;
  int kind;
  const char* button;
  std::int32_t result;
  std::vector<std::string> calls;  // "<observed>" stands for what the call saw on the window
  const char* status;
};

void PrintTo(const ResultCase& c, std::ostream* out) {
  *out << c.name;
}

const std::string kImage(kStartImage);
const std::string kProximityWrite = "T5557_WriteCard(6, " + kImage + ")";
const std::string kMifareWrite = "wrkey_mif1(6, " + kImage + ")";
const std::string kHotelCode = "hextostr(AB 12 CD, \"      \", 3)";
const std::string kDataBlock = "EM4150_WriteBlock(6, 2, 0A 00 11 00)";

// clang-format off
const std::vector<ResultCase> kResultCases = {
    {"ProximityWriteZero", 0, "butWr", 0,
     {kProximityWrite, "ML_ControlBeep(0, 1) sees Wr 4469 OK  0 | 01"}, "Wr 4469 OK  0"},
    {"ProximityWritePositive", 0, "butWr", 3,
     {kProximityWrite, "ML_ControlBeep(0, 1) sees Wr 4469 OK  3 | 01"}, "Wr 4469 OK  3"},
    {"ProximityWriteNegative", 0, "butWr", -2, {kProximityWrite}, "Wr 4469 Error -2"},
    {"MifareWriteZero", 1, "butWr", 0,
     {kMifareWrite, "dv_beep(6, 1) sees Wr OK  0 | 01"}, "Wr OK  0"},
    {"MifareWritePositiveIsAnError", 1, "butWr", 1, {kMifareWrite}, "Wr Error  1"},
    {"ProximityReadZeroBeepsBeforeAnyFieldChanges", 0, "butRd", 0,
     {"T5557_ReadCard(5)", "ML_ControlBeep(0, 1) sees earlier | 01", kHotelCode}, "RD 4469 OK"},
    {"ProximityReadPositive", 0, "butRd", 4,
     {"T5557_ReadCard(5)", "ML_ControlBeep(0, 1) sees earlier | 01", kHotelCode}, "RD 4469 OK"},
    {"ProximityReadNegative", 0, "butRd", -1, {"T5557_ReadCard(5)"}, "Rd 4469 Error -1"},
    {"MifareReadZero", 1, "butRd", 0,
     {"rdkey_mif1(5)", "dv_beep(5, 1) sees earlier | 01", kHotelCode}, "RD 4469 OK"},
    {"MifareReadPositiveIsAnError", 1, "butRd", 1, {"rdkey_mif1(5)"}, "Rd Error  1"},
    {"DataCardNegative", 0, "cmdWriteData", -1, {kDataBlock}, "Wr 4469 Error -1"},
    {"DataCardUsesTheProximityDriverWhateverTheKind", 1, "cmdWriteData", 2, {kDataBlock},
     "Wr 4469 OK  2"},
};
// clang-format on

class DriverResult : public CardHandlerTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(DriverResult, SetsTheCaptionAndBeepsOnlyOnSuccess) {
  const ResultCase& c = GetParam();
  selectKind(c.kind);
  for (const char* operation :
       {"T5557_WriteCard", "wrkey_mif1", "T5557_ReadCard", "rdkey_mif1", "EM4150_WriteBlock"}) {
    standin::script(operation, {c.result});
  }

  click(c.button);

  std::vector<std::string> seen;
  for (const standin::Call& call : standin::callsObserved()) {
    const bool beep = call.text.starts_with("ML_ControlBeep") || call.text.starts_with("dv_beep");
    seen.push_back(beep ? call.text + " sees " + call.observed : call.text);
  }
  EXPECT_EQ(seen, c.calls);
  EXPECT_EQ(text("lstSta"), QString::fromLatin1(c.status));
}

INSTANTIATE_TEST_SUITE_P(Cases, DriverResult, ::testing::ValuesIn(kResultCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(CardHandlerTest, ReadShowsEveryFieldOfTheCard) {
  click("butRd");

  for (const auto& [name, shown] : kCardOnReaderShown) EXPECT_EQ(text(name), shown) << name;
  EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), Qt::Checked);
  EXPECT_EQ(CardData::toImage(CardData::CardInfo), kCardOnReader);
}

TEST_F(CardHandlerTest, DisableFlagShowsAsTheBoxStateAndAnOddFlagIsNamedOnTheStatusLine) {
  const std::vector<std::tuple<std::uint8_t, Qt::CheckState, const char*>> flags = {
      {0, Qt::Unchecked, "RD 4469 OK"},
      {1, Qt::Checked, "RD 4469 OK"},
      {2, Qt::PartiallyChecked, "RD 4469 OK"},
      {7, Qt::PartiallyChecked, "RD 4469 OK (disable flag 7)"}};
  for (const auto& [flag, state, status] : flags) {
    standin::Image card = kCardOnReader;
    card[8] = flag;
    standin::setCard(card);
    click("butRd");
    EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), state) << int{flag};
    EXPECT_EQ(text("lstSta"), QString::fromLatin1(status)) << int{flag};
  }
  // The non-BCD month read above is refused on the way back; a valid date writes flag 0.
  control<QLineEdit>("txtSdate")->setText(QStringLiteral("06-10-18 12:00"));
  click("butWr");
  EXPECT_EQ(CardData::CardBuf[8], 0);
}

TEST_F(CardHandlerTest, FailedReadTouchesNoFieldAndDoesNotUnpack) {
  for (const char* name : kFields) control<QLineEdit>(name)->setText(QStringLiteral("typed"));
  control<QCheckBox>("chkDis")->setCheckState(Qt::PartiallyChecked);
  CardData::CardInfo.Room = 42;
  for (const int kind : {0, 1}) {
    selectKind(kind);
    standin::script("T5557_ReadCard", {-5});
    standin::script("rdkey_mif1", {9});
    click("butRd");
    for (const char* name : kFields) EXPECT_EQ(text(name), QStringLiteral("typed")) << name;
    EXPECT_EQ(control<QCheckBox>("chkDis")->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(CardData::CardInfo.Room, 42);
  }
}

struct RefusalCase {
  const char* name;
  const char* field;
  const char* typed;
  const char* button;
  const char* status;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

const std::vector<RefusalCase> kRefusals = {
    {"HotelCodeTooShort", "txtHotel", "33303", "butWr",
     "Hotel code: enter six hexadecimal digits (0-9, A-F)"},
    {"RoomTooHigh", "txtRoom", "256", "butWr", "Room: enter a whole number from 0 to 255"},
    {"StartDateNoMonth13", "txtSdate", "06-13-18 12:00", "butWr",
     "Valid from: enter a date and time like 06-07-18 12:00"},
    {"EndTimeMinute60", "txtEtime", "23:60", "butWr",
     "Daily end time: enter a time of day like 23:59"},
    {"FloorCountEmpty", "txtFloorCnt", "", "butWr",
     "Further floors or sub-room: enter a whole number from 0 to 255"},
    {"DataCardTwenty", "txtCardsno", "20", "cmdWriteData",
     "Card serial number: enter a card number from 1 to 19"},
    {"DataCardNotANumber", "txtCardsno", "12abc", "cmdWriteData",
     "Card serial number: enter a card number from 1 to 19"},
    {"DataCardBelowSixteenBits", "txtCardsno", "-40000", "cmdWriteData",
     "Card serial number: enter a card number from 1 to 19"},
};

class RefusedField : public CardHandlerTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedField, CallsNoDriverNamesTheFieldAndPutsTheOperatorBackInIt) {
  const RefusalCase& c = GetParam();
  showAndActivate();
  CardData::CardInfo.Room = 42;
  CardData::CardBuf[6] = 43;
  auto* field = control<QLineEdit>(c.field);
  field->setText(QString::fromLatin1(c.typed));

  click(c.button);

  EXPECT_TRUE(standin::calls().empty());
  EXPECT_EQ(text("lstSta"), QString::fromLatin1(c.status));
  auto* status = control<QLabel>("lstSta");
  const QRect room = status->contentsRect();
  const QRect needed = status->fontMetrics().boundingRect(
      room, status->wordWrap() ? Qt::TextWordWrap : 0, status->text());
  EXPECT_TRUE(needed.width() <= room.width() && needed.height() <= room.height())
      << "the message is cut off";
  EXPECT_EQ(QApplication::focusWidget(), field);
  EXPECT_EQ(field->selectedText(), field->text());
  const CardData::CardRecord untouched = [] {
    CardData::CardRecord record{};
    record.Room = 42;
    return record;
  }();
  EXPECT_EQ(CardData::toImage(CardData::CardInfo), CardData::toImage(untouched));
  EXPECT_EQ(CardData::CardBuf[6], 43);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedField, ::testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(CardHandlerTest, FieldsAreConvertedInTheirWritingOrder) {
  // With every field refused, each click names the first one still refused.
  const std::vector<std::pair<const char*, const char*>> order = {
      {"txtCardty", "Card type"},
      {"txtHotel", "Hotel code"},
      {"txtArea", "Area"},
      {"txtFloor", "Floor"},
      {"txtRoom", "Room"},
      {"txtCardsno", "Card serial number"},
      {"txtSdate", "Valid from"},
      {"txtEdate", "Valid until"},
      {"txtStime", "Daily start time"},
      {"txtEtime", "Daily end time"},
      {"txtFloorCnt", "Further floors or sub-room"}};
  std::map<std::string, QString> good = fieldTexts();
  for (const char* name : kFields) control<QLineEdit>(name)->setText(QStringLiteral("-9"));
  for (const auto& [field, name] : order) {
    click("butWr");
    EXPECT_TRUE(text("lstSta").startsWith(QString::fromLatin1(name) + QStringLiteral(": ")))
        << "expected " << name << ", got " << text("lstSta").toStdString();
    control<QLineEdit>(field)->setText(good[field]);
  }
  click("butWr");
  EXPECT_EQ(standin::calls(), (std::vector<std::string>{kProximityWrite, "ML_ControlBeep(0, 1)"}));
}

}  // namespace
}  // namespace keycard::testing
