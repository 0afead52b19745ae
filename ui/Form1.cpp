#include "ui/Form1.h"

#include <QApplication>
#include <QCloseEvent>

#include "card/CardData.h"
#include "reader/MF_API.h"
#include "reader/msrd_mif.h"
#include "ui/WindowConstants.h"
#include "ui/WindowFont.h"
#include "ui_Form1.h"

namespace keycard {

using namespace window;

Form1::Form1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::Form1>()) {
  // Before the controls exist, so each is made in the font it inherits rather than told of it
  // again afterwards.
  const QFont font = window::windowFont();
  setFont(font);
  // A line edit lays out its text once in the application's font before it takes the window's.
  // With the window's font standing in meanwhile, that layout loads nothing the window never
  // draws with: the system's default family is no installed font, so finding it is a fallback
  // search over every font, and then a font file of its own to open.
  const QFont applicationFont = QApplication::font();
  QApplication::setFont(font);
  ui->setupUi(this);
  QApplication::setFont(applicationFont);
  setFixedSize(kClientWidth, kClientHeight);

  // The lists show nothing until the load handler picks their first entries.
  ui->Combo1->setCurrentIndex(-1);
  ui->Combo2->setCurrentIndex(-1);

  connect(ui->butOpen, &QPushButton::clicked, this, &Form1::butOpen_Click);
  connect(ui->butBeep, &QPushButton::clicked, this, &Form1::butBeep_Click);
  connect(ui->butExit, &QPushButton::clicked, this, &Form1::butExit_Click);
  connect(ui->butWr, &QPushButton::clicked, this, &Form1::butWr_Click);
  connect(ui->butRd, &QPushButton::clicked, this, &Form1::butRd_Click);
  connect(ui->cmdWriteData, &QPushButton::clicked, this, &Form1::cmdWriteData_Click);

  Form_Load();
  ui->txtCardty->setFocus();
}

Form1::~Form1() = default;

void Form1::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

int Form1::cardKind() const {
  return ui->Combo1->currentIndex();
}

void Form1::showStatus(const QString& text) {
  ui->lstSta->setText(text);
}

void Form1::Form_Load() {
  ui->Combo1->setCurrentIndex(0);
  ui->Combo2->setCurrentIndex(0);
}

void Form1::Form_Unload() {
  switch (cardKind()) {
    case kKindProximity:
      MF_API::MF_ExitComm();
      break;
    case kKindMifare:
      msrd_mif::closecomm(CardData::CommHandle);
      break;
    default:
      break;
  }
}

void Form1::butOpen_Click() {
  switch (cardKind()) {
    case kKindProximity:
      openProximityReader();
      break;
    case kKindMifare:
      openMifareReader();
      break;
    default:
      break;
  }
}

void Form1::openMifareReader() {
  // Closes the port of an earlier Mifare open (0 on the first one).
  msrd_mif::closecomm(CardData::CommHandle);
  std::int32_t portIndex = ui->Combo2->currentIndex();
  // A failed open is stored too: the handles always hold the last open's result.
  CardData::CommHandle = msrd_mif::auto_open(&portIndex);
  CardData::DevHandle = CardData::CommHandle;
  if (CardData::CommHandle > 0) {
    msrd_mif::dv_beep(CardData::CommHandle, kBeepAfterOpen);
    enableCardButtons();
  }
}

void Form1::openProximityReader() {
  const QByteArray port = ui->Combo2->currentText().toLocal8Bit();
  if (MF_API::MF_InitComm(port.constData(), kBaudRate) != 0) {
    MF_API::MF_ExitComm();
    showStatus(QString::fromLatin1(kOpenError));
    return;
  }
  // The reader only has to answer; the text stays empty and is never read. The room behind it
  // keeps a driver that does write a version from writing past the buffer.
  char version[256] = {};
  if (MF_API::ML_GetDevice_Ver(CardData::CommHandle, version) != 0) {
    MF_API::MF_ExitComm();
    showStatus(QString::fromLatin1(kOpenError));
    return;
  }
  // A reader that refuses to switch its field on is left open and not reported.
  if (MF_API::ML_ControlRF(CardData::CommHandle, kRfOn) != 0) {
    return;
  }
  MF_API::ML_ControlBeep(CardData::CommHandle, kBeepAfterOpen);
  CardData::DevHandle = 0;
  showStatus(QString::fromLatin1(kOpenOk));
  enableCardButtons();
}

void Form1::enableCardButtons() {
  ui->butWr->setEnabled(true);
  ui->butRd->setEnabled(true);
  ui->butBeep->setEnabled(true);
}

void Form1::butBeep_Click() {
  switch (cardKind()) {
    case kKindProximity:
      MF_API::ML_ControlBeep(0, kBeepOnce);
      break;
    case kKindMifare:
      msrd_mif::dv_beep(CardData::DevHandle, kBeepOnce);
      break;
    default:
      break;
  }
}

void Form1::butExit_Click() {
  close();
}

}  // namespace keycard
