// What the window's tests share: one QApplication for the process, the window built afresh
// with the card module reset, and its controls by name.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "card/CardData.h"
#include "ui/ClassicStyle.h"
#include "ui/Form1.h"

namespace keycard::testing {

// Created on first use, not at load time: test discovery runs the binary without the tests'
// environment, so the platform is chosen here.
inline void ensureApplication() {
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "keycard_ui_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit it would outlive input devices that Qt Test has already freed.
  auto* app = new QApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // The look the programs start with, so a test sees what an operator sees.
  window::useClassicStyle(*app);
}

inline void resetCardData() {
  CardData::CardInfo = {};
  CardData::CardBuf = {};
  CardData::CommHandle = 0;
  CardData::DevHandle = 0;
}

// The card record's text boxes, in the order the write converts them.
inline constexpr const char* kFieldNames[] = {"txtCardty", "txtHotel",   "txtArea",    "txtFloor",
                                              "txtRoom",   "txtCardsno", "txtSdate",   "txtEdate",
                                              "txtStime",  "txtEtime",   "txtFloorCnt"};

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ensureApplication(); }

  void SetUp() override {
    resetCardData();
    window = std::make_unique<Form1>();
  }

  template <typename T = QWidget>
  T* control(const char* name) const {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) ADD_FAILURE() << "no control " << name << " of that kind";
    return found;
  }

  // The text of a text box or label.
  QString text(const char* name) const { return control(name)->property("text").toString(); }
  QStringList fieldTexts() const {
    QStringList texts;
    for (const char* name : kFieldNames) texts << text(name);
    return texts;
  }
  void selectKind(int index) const { control<QComboBox>("Combo1")->setCurrentIndex(index); }
  void selectPort(int index) const { control<QComboBox>("Combo2")->setCurrentIndex(index); }
  // Shown and active, as focus and Tab need it.
  [[nodiscard]] bool showActive() const {
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) return false;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
  }
  // Does nothing on a disabled button, as a mouse click would not.
  void click(const char* button) const { control<QPushButton>(button)->click(); }

  std::unique_ptr<Form1> window;
};

}  // namespace keycard::testing
