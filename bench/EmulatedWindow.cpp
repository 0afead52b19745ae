#include "bench/EmulatedWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/PrivatePcscd.h"
#include "tests/ui/WindowTestSupport.h"
#include "ui/Form1.h"

namespace keycard::bench {

namespace {

// Hex bytes in a traffic log line: "<date> <time> <- 02 01 01 E1 F0  GetVersion".
std::size_t countLoggedBytes(const std::string& line, const char* direction) {
  const std::size_t at = line.find(std::string(" ") + direction + " ");
  if (at == std::string::npos) return 0;
  const std::size_t begin = at + 4;
  const std::size_t end = line.find("  ", begin);
  const std::size_t length = (end == std::string::npos ? line.size() : end) - begin;
  return (length + 1) / 3;  // "HH" and a blank between bytes
}

}  // namespace

EmulatedWindow::EmulatedWindow(ReaderKind kind, const std::string& cardType, bool wireDelay)
    : portDir_(dir_.path()), log_(dir_ / "traffic.log") {
  testing::ensureApplication();
  testing::resetCardData();
  testing::newCard(cardType, dir_ / "card");
  testing::EmulatorOptions options;
  options.kind = kind == ReaderKind::Proximity     ? "proximity"
                 : kind == ReaderKind::Pn532Mifare ? "pn532"
                                                   : "mifare";
  options.card = dir_ / "card";
  options.wireDelay = wireDelay;
  options.log = log_;
  if (kind == ReaderKind::PcscMifare) {
    testing::waitUntilVirtualReaderEmpty();
    options.vpcdPort = testing::vpcdPort();
    readerChoice_.emplace("KEYCARD_MIFARE_READER", "pcsc");
  } else {
    options.portDir = dir_.path();
  }
  reader_ = std::make_unique<testing::EmulatorProcess>(options);

  window_ = std::make_unique<Form1>();
  window_->findChild<QComboBox*>(QStringLiteral("Combo1"))
      ->setCurrentIndex(kind == ReaderKind::Proximity ? 0 : 1);
  click("butOpen");
  if (!window_->findChild<QPushButton*>(QStringLiteral("butWr"))->isEnabled()) {
    throw std::runtime_error("the window did not open the emulated reader: " +
                             caption().toStdString());
  }
  traffic();  // the open's exchanges are not what is measured
}

EmulatedWindow::~EmulatedWindow() {
  window_->close();  // closes the reader of the kind the window shows
}

std::chrono::nanoseconds EmulatedWindow::click(const char* button) {
  QPushButton* target = window_->findChild<QPushButton*>(QString::fromLatin1(button));
  if (target == nullptr) throw std::runtime_error(std::string("no button ") + button);
  const auto start = std::chrono::steady_clock::now();
  target->click();
  return std::chrono::steady_clock::now() - start;
}

QString EmulatedWindow::caption() const {
  return window_->findChild<QLabel*>(QStringLiteral("lstSta"))->text();
}

EmulatedWindow::Traffic EmulatedWindow::traffic() {
  std::ifstream in(log_);
  in.seekg(static_cast<std::streamoff>(logRead_));
  const std::string appended{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // The emulator logs a reply just after sending it: a line still being written waits for the
  // next call.
  const std::size_t complete = appended.rfind('\n') + 1;  // 0 when there is no whole line
  Traffic total;
  for (std::size_t begin = 0; begin < complete;) {
    const std::size_t end = appended.find('\n', begin);
    const std::string line = appended.substr(begin, end - begin);
    const std::size_t received = countLoggedBytes(line, "<-");
    total.bytes += countLoggedBytes(line, "->") + received;
    // A one-byte message to the virtual card is a power control, not a command.
    if (received > 1) ++total.commands;
    begin = end + 1;
  }
  logRead_ += complete;
  return total;
}

}  // namespace keycard::bench
