// The card handlers of the window: write a key card, read one back, write a data card.
#include <QCheckBox>
#include <QLineEdit>
#include <algorithm>
#include <cstdint>

#include "card/CardData.h"
#include "card/FieldCodecs.h"
#include "card/TextRoutines.h"
#include "reader/MF_API.h"
#include "reader/msrd_mif.h"
#include "reader/rfdll.h"
#include "ui/Form1.h"
#include "ui/WindowConstants.h"
#include "ui_Form1.h"

namespace keycard {

using namespace window;

namespace {

// A driver's result as it follows its message: a blank before 0 or more, the minus sign alone
// before a negative one ("Wr 4469 OK " + " 0", "Wr 4469 Error " + "-2").
QString withResult(const char* message, std::int32_t result) {
  const QString number = QString::number(result);
  return QString::fromLatin1(message) + (result >= 0 ? QStringLiteral(" ") + number : number);
}

QString fromCard(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// The Mifare driver takes the buffer through a cell that holds its address.
std::intptr_t cellFor(CardData::CardImage& buffer) {
  return reinterpret_cast<std::intptr_t>(buffer.data());
}

constexpr std::uint8_t kDisFlagGreyed = 2;

Qt::CheckState disableFlagState(std::uint8_t flag) {
  if (flag == 0) return Qt::Unchecked;
  if (flag == 1) return Qt::Checked;
  return Qt::PartiallyChecked;
}

// Bytes 1 to 3 of the buffer through the hex library; without the library the window's own
// routine gives the same digits, so the code is never hidden from the operator.
QString hotelCodeText() {
  const std::span<const std::uint8_t, 3> code(CardData::CardBuf.data() + 1, 3);
  if (!rfdll::available()) return fromCard(hotelCodeDisplay(code));
  // Six blanks for the six digits; the zeros behind them keep a careless library in bounds.
  char digits[16] = "      ";
  rfdll::hextostr(code.data(), digits, 3);
  return QString::fromLocal8Bit(digits, 6);
}

}  // namespace

void Form1::butWr_Click() {
  // Converted into a copy first, so a refused field leaves the record and the buffer as they were.
  CardData::CardRecord record = CardData::CardInfo;
  bool refused = false;
  const auto take = [&](QLineEdit* field, const char* name, auto convert, std::uint8_t* target) {
    if (refused) return;
    const auto converted = convert(field->text().toStdU16String());
    if (!converted.ok()) {
      refuseField(field, name, converted.refusal);
      refused = true;
      return;
    }
    std::copy(converted.bytes->begin(), converted.bytes->end(), target);
  };
  take(ui->txtCardty, kCardTypeName, numberTextToByte, &record.CardType);
  take(ui->txtHotel, kHotelCodeName, hotelCodeToBytes, record.HotelCode);
  take(ui->txtArea, kAreaName, numberTextToByte, &record.Area);
  take(ui->txtFloor, kFloorName, numberTextToByte, &record.Floor);
  take(ui->txtRoom, kRoomName, numberTextToByte, &record.Room);
  record.DisFlag = 0;  // chkDis only shows the flag of a card that was read
  take(ui->txtCardsno, kCardSnoName, numberTextToByte, &record.CardSno);
  take(ui->txtSdate, kStartDateName, dateTimeToBcd, record.StartDate);
  take(ui->txtEdate, kEndDateName, dateTimeToBcd, record.EndDate);
  take(ui->txtStime, kStartTimeName, timeToBcd, record.StartTime);
  take(ui->txtEtime, kEndTimeName, timeToBcd, record.EndTime);
  take(ui->txtFloorCnt, kFloorCntName, strictNumberTextToByte, &record.FloorCnt);
  if (refused) return;

  CardData::CardInfo = record;
  CardData::PackCard();
  switch (cardKind()) {
    case kKindProximity: {
      const std::int32_t result =
          MF_API::T5557_WriteCard(CardData::DevHandle, CardData::CardBuf.data());
      if (result < 0) {
        showStatus(withResult(kProximityWriteError, result));
        return;
      }
      showStatus(withResult(kProximityWriteOk, result));
      MF_API::ML_ControlBeep(0, kBeepOnce);
      break;
    }
    case kKindMifare: {
      std::intptr_t cell = cellFor(CardData::CardBuf);
      const std::int32_t result = msrd_mif::wrkey_mif1(CardData::DevHandle, &cell);
      if (result != 0) {
        showStatus(withResult(kMifareWriteError, result));
        return;
      }
      showStatus(withResult(kMifareWriteOk, result));
      msrd_mif::dv_beep(CardData::DevHandle, kBeepOnce);
      break;
    }
    default:
      break;
  }
}

void Form1::butRd_Click() {
  switch (cardKind()) {
    case kKindProximity: {
      const std::int32_t result =
          MF_API::T5557_ReadCard(CardData::CommHandle, CardData::CardBuf.data());
      if (result < 0) {
        showStatus(withResult(kProximityReadError, result));
        return;
      }
      MF_API::ML_ControlBeep(0, kBeepOnce);
      break;
    }
    case kKindMifare: {
      std::intptr_t cell = cellFor(CardData::CardBuf);
      const std::int32_t result = msrd_mif::rdkey_mif1(CardData::CommHandle, &cell);
      if (result != 0) {
        showStatus(withResult(kMifareReadError, result));
        return;
      }
      msrd_mif::dv_beep(CardData::CommHandle, kBeepOnce);
      break;
    }
    default:
      break;  // no reader: shows what the buffer holds from the last write or read
  }
  showCardRecord();
}

void Form1::showCardRecord() {
  CardData::UnpackCard();
  const CardData::CardRecord& card = CardData::CardInfo;
  // The box shows 0, 1 and 2; a larger flag greys it as well, and the status line names the
  // flag so the card's data is not hidden from the operator.
  QString status = QString::fromLatin1(kReadOk);
  if (card.DisFlag > kDisFlagGreyed) {
    status += QStringLiteral(" (disable flag %1)").arg(card.DisFlag);
  }
  showStatus(status);
  ui->txtCardty->setText(fromCard(decimalDisplay(card.CardType)));
  ui->txtHotel->setText(hotelCodeText());
  ui->txtArea->setText(fromCard(decimalDisplay(card.Area)));
  ui->txtFloor->setText(fromCard(decimalDisplay(card.Floor)));
  ui->txtRoom->setText(fromCard(decimalDisplay(card.Room)));
  ui->chkDis->setCheckState(disableFlagState(card.DisFlag));
  ui->txtCardsno->setText(fromCard(decimalDisplay(card.CardSno)));
  ui->txtSdate->setText(fromCard(dateTimeDisplay(card.StartDate)));
  ui->txtEdate->setText(fromCard(dateTimeDisplay(card.EndDate)));
  ui->txtStime->setText(fromCard(timeDisplay(card.StartTime)));
  ui->txtEtime->setText(fromCard(timeDisplay(card.EndTime)));
  ui->txtFloorCnt->setText(fromCard(decimalDisplay(card.FloorCnt)));
}

void Form1::cmdWriteData_Click() {
  const auto fourth = dataCardSerialToByte(ui->txtCardsno->text().toStdU16String());
  if (!fourth.ok()) {
    refuseField(ui->txtCardsno, kCardSnoName, fourth.refusal);
    return;
  }
  unsigned char block[4] = {0x0A, 0x00, 0x11, (*fourth.bytes)[0]};
  const std::int32_t result = MF_API::EM4150_WriteBlock(CardData::DevHandle, kDataCardBlock, block);
  showStatus(withResult(result < 0 ? kProximityWriteError : kProximityWriteOk, result));
}

// No driver is called with a field it would misread: the operator is told what the field
// accepts and is put back into it.
void Form1::refuseField(QLineEdit* field, const char* name, const std::string& accepts) {
  showStatus(QStringLiteral("%1: enter %2")
                 .arg(QString::fromLatin1(name), QString::fromStdString(accepts)));
  field->setFocus();
  field->selectAll();
}

}  // namespace keycard
