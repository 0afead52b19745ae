// keycard-walkthrough [--mifare] [SCREENSHOT.png]: one key-card write and read without a display.
// Opens the proximity reader on "COM1" (with --mifare the Mifare reader, "MF1"), writes the start
// texts, reads the card back, prints each status line and the record that was read, and saves a
// picture of the window where asked. Exits 0 when the card was written and read, 1 when not, 2 on a
// command line it does not take.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <cstdio>
#include <iostream>
#include <string_view>
#include <variant>

#include "card/CardData.h"
#include "ui/ClassicStyle.h"
#include "ui/Form1.h"
#include "ui/SystemFontConfiguration.h"
#include "ui/WindowConstants.h"

namespace keycard {
namespace {

constexpr char kUsage[] = R"(usage: keycard-walkthrough [--mifare] [SCREENSHOT.png]

Writes and reads one key card without a display: opens the proximity reader on COM1 (with
--mifare the Mifare reader), writes the window's start texts onto the card, reads the card back,
and prints each status line and the card's record. With SCREENSHOT.png it also saves a picture
of the window there.

It needs that reader on COM1: a running keycard-emulator with KEYCARD_PORT_DIR set to its port
folder, or a real reader on COM1. With the emulator:

  keycard-emulator card new --type em4469 /tmp/card
  mkdir -p /tmp/ports
  keycard-emulator --kind proximity --port COM1 --card /tmp/card --port-dir /tmp/ports &
  KEYCARD_PORT_DIR=/tmp/ports keycard-walkthrough /tmp/window.png
)";

struct Walk {
  bool mifare = false;
  const char* screenshot = nullptr;
};

// The walk the command line asks for, or the exit code when it ends the program here: help asked
// for, or a command line it does not take. An argument starting with '-' is an option, so no file
// is ever named "--hlep".
std::variant<Walk, int> parse(int argc, char** argv) {
  Walk walk;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (argument == "--mifare" && !walk.mifare) {
      walk.mifare = true;
    } else if (argument.starts_with('-') || walk.screenshot != nullptr) {
      std::cerr << kUsage;
      return 2;
    } else {
      walk.screenshot = argv[i];
    }
  }
  return walk;
}

// What to do when the reader does not open: the window's status line says nothing of it.
void explainNoReader(bool mifare) {
  const char* kind = mifare ? "mifare" : "proximity";
  const QByteArray portDir = qgetenv("KEYCARD_PORT_DIR");
  const QByteArray choice = qgetenv("KEYCARD_MIFARE_READER");
  if (mifare && choice.startsWith("pcsc")) {
    std::cerr << "The PC/SC reader did not open (KEYCARD_MIFARE_READER=" << choice.constData()
              << "): is pcscd running, with the reader and a card on it?\n";
  } else if (portDir.isEmpty()) {
    std::cerr << "No reader answered on COM1. Start keycard-emulator --kind " << kind
              << " and set KEYCARD_PORT_DIR to its port folder, or connect a " << kind
              << " reader on COM1 (see keycard-walkthrough --help).\n";
  } else {
    std::cerr << "No reader answered on COM1 in KEYCARD_PORT_DIR=" << portDir.constData()
              << ". Is keycard-emulator --kind " << kind
              << " --port COM1 running with that --port-dir?\n";
  }
}

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
  const std::variant<keycard::Walk, int> parsed = keycard::parse(argc, argv);
  if (const int* exitCode = std::get_if<int>(&parsed)) return *exitCode;
  const keycard::Walk walk = std::get<keycard::Walk>(parsed);

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  keycard::window::SystemFontConfigurationReader fonts;
  QApplication app(argc, argv);
  keycard::window::useClassicStyle(app);
  fonts.install();
  keycard::Form1 window;
  window.show();
  if (walk.mifare) {
    window.findChild<QComboBox*>(QStringLiteral("Combo1"))
        ->setCurrentIndex(keycard::window::kKindMifare);
  }

  using keycard::press;
  using keycard::statusSays;
  namespace window_text = keycard::window;
  // The Mifare open shows nothing: the card buttons it enables tell.
  const bool opened =
      press(window, "butOpen") &&
      (walk.mifare ? window.findChild<QPushButton*>(QStringLiteral("butWr"))->isEnabled()
                   : statusSays(window, window_text::kOpenOk));
  if (!opened) keycard::explainNoReader(walk.mifare);
  const bool written = opened && press(window, "butWr") &&
                       statusSays(window, walk.mifare ? window_text::kMifareWriteOk
                                                      : window_text::kProximityWriteOk);
  const bool read = written && press(window, "butRd") && statusSays(window, window_text::kReadOk);
  if (read) {
    std::cout << "Card record:";
    for (const std::uint8_t byte : keycard::CardData::CardBuf) std::printf(" %02X", byte);
    std::cout << std::endl;
  }

  bool saved = true;
  if (walk.screenshot != nullptr) {
    saved = window.grab().save(QString::fromLocal8Bit(walk.screenshot), "PNG");
    if (!saved) std::cerr << "Cannot save the screenshot to " << walk.screenshot << '\n';
  }
  window.close();  // the unload handler closes the port
  return read && saved ? 0 : 1;
}
