// The look the operators know: Qt's "Windows" style, sunken fields and raised buttons, with the
// lists' drop-down button narrowed so that every entry shows whole in the window's font.
#pragma once

#include <QProxyStyle>

class QApplication;

namespace keycard::window {

class ClassicStyle : public QProxyStyle {
 public:
  ClassicStyle();

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override;
};

// Gives `app` the classic style, which it then owns.
void useClassicStyle(QApplication& app);

}  // namespace keycard::window
