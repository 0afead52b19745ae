// keycard-walkthrough [--mifare] OUT.png: the main road without a display. Opens the proximity
// reader on "COM1" (with --mifare the Mifare reader, "MF1"), writes the start texts, reads the
// card back, prints each status line and the record that was read, and saves a picture of the
// window. Exits 0 when the card was written and read.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "card/CardData.h"
#include "ui/Form1.h"

namespace keycard {
namespace {

// Clicks the button and prints what the status line then says; false if it cannot be clicked.
bool press(const Form1& window, const char* button) {
  auto* target = window.findChild<QPushButton*>(QString::fromLatin1(button));
  if (!target->isEnabled()) {
    std::cout << button << " is disabled: the reader did not open\n";
    return false;
  }
  target->click();
  const auto* status = window.findChild<QLabel*>(QStringLiteral("lstSta"));
  std::cout << button << ": " << status->text().toStdString() << '\n';
  return true;
}

bool statusSays(const Form1& window, const char* text) {
  return window.findChild<QLabel*>(QStringLiteral("lstSta"))
      ->text()
      .startsWith(QString::fromLatin1(text));
}

}  // namespace
}  // namespace keycard

int main(int argc, char** argv) {
  const bool mifare = argc == 3 && std::string_view(argv[1]) == "--mifare";
  if (argc != 2 && !mifare) {
    std::cerr << "usage: keycard-walkthrough [--mifare] OUT.png\n";
    return 2;
  }
  const char* const shotPath = argv[argc - 1];
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Windows"));
  keycard::Form1 window;
  window.show();
  if (mifare) window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(1);

  using keycard::press;
  using keycard::statusSays;
  // The Mifare open shows nothing: the card buttons it enables tell.
  const bool opened = press(window, "butOpen") &&
                      (mifare ? window.findChild<QPushButton*>(QStringLiteral("butWr"))->isEnabled()
                              : statusSays(window, "Open CommPort OK"));
  const bool written =
      opened && press(window, "butWr") && statusSays(window, mifare ? "Wr OK" : "Wr 4469 OK");
  const bool read = written && press(window, "butRd") && statusSays(window, "RD 4469 OK");
  if (read) {
    std::cout << "Card record:";
    for (const std::uint8_t byte : keycard::CardData::CardBuf) std::printf(" %02X", byte);
    std::cout << std::endl;
  }

  const QString shot = QString::fromLocal8Bit(shotPath);
  const bool saved = window.grab().save(shot, "PNG");
  if (!saved) std::cerr << "cannot save the screenshot to " << shotPath << '\n';
  window.close();  // the unload handler closes the port
  return read && saved ? 0 : 1;
}
