#include "ui/ClassicStyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <algorithm>

namespace keycard::window {

namespace {

// The port list is 57 pixels wide and "COM10" takes 41 in 9 pt WenQuanYi Micro Hei, drawn a
// pixel inside its field on either side. The style's own 16-pixel button leaves the field 35
// wide; a 10-pixel one, with the field starting right inside the frame rather than a pixel
// further in, leaves it 43, and an even width still draws the arrow whole.
constexpr int kListButtonWidth = 10;

}  // namespace

ClassicStyle::ClassicStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

QRect ClassicStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                   SubControl part, const QWidget* widget) const {
  QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
  const auto* list = qstyleoption_cast<const QStyleOptionComboBox*>(option);
  if (control != CC_ComboBox || list == nullptr || list->direction != Qt::LeftToRight ||
      (part != SC_ComboBoxArrow && part != SC_ComboBoxEditField)) {
    return rect;
  }
  const QRect button = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
  const int buttonLeft = std::max(button.left(), button.right() + 1 - kListButtonWidth);
  if (part == SC_ComboBoxArrow) {
    rect.setLeft(buttonLeft);
    return rect;
  }
  const int frame = list->frame ? pixelMetric(PM_ComboBoxFrameWidth, option, widget) : 0;
  rect.setLeft(option->rect.left() + frame);
  rect.setRight(buttonLeft - 1);
  return rect;
}

void useClassicStyle(QApplication& app) {
  auto* style = new ClassicStyle;
  // The application owns it, as setStyle would make it anyway; said here, no reader (or static
  // analyser) takes it for a leak.
  style->setParent(&app);
  QApplication::setStyle(style);
}

}  // namespace keycard::window
