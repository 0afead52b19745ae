// The window as an operator meets it: captions drawn whole in a font that has their glyphs, every
// label naming a field for a screen reader, the lists, and the tab order.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStyle>
#include <QTest>

#include "tests/ui/WindowTestSupport.h"

namespace keycard::testing {
namespace {

using WindowLayout = WindowTest;

// Captions are measured in the font they are drawn in: labels and buttons hold theirs whole, text
// boxes scroll and lists drop down.
TEST_F(WindowLayout, EveryCaptionFitsItsControlAndEveryLabelNamesAField) {
  const QFontInfo font(window->font());
  ASSERT_TRUE(
      QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::SimplifiedChinese))
      << "no Simplified Chinese font is installed (got " << font.family().toStdString()
      << "); install fonts-wqy-microhei";
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  const int buttonMargin = window->style()->pixelMetric(QStyle::PM_ButtonMargin);
  const auto status = control<QLabel>("lstSta");
  for (QWidget* widget : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_TRUE(window->rect().contains(widget->geometry()));
    const auto* label = qobject_cast<QLabel*>(widget);
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    if (label == nullptr && button == nullptr) continue;
    const QString caption = widget->property("text").toString();
    const QFontMetrics metrics = widget->fontMetrics();
    for (const QChar c : caption) EXPECT_TRUE(metrics.inFont(c)) << "no glyph";
    int needed = metrics.horizontalAdvance(caption);
    if (qobject_cast<const QPushButton*>(widget) != nullptr) needed += 2 * buttonMargin;
    if (qobject_cast<const QCheckBox*>(widget) != nullptr) needed = widget->sizeHint().width();
    EXPECT_LE(needed, widget->width());
    EXPECT_LE(metrics.height(), widget->height());
    if (label != nullptr) {
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
      EXPECT_EQ(label->buddy() != nullptr, label != status);
    }
  }
  EXPECT_EQ(QAccessible::queryAccessibleInterface(control("txtHotel"))->text(QAccessible::Name),
            QString::fromUtf8("酒店代码"));
}

TEST_F(WindowLayout, ListsHoldTheirEntriesAndTabRunsFromCardTypeThroughEveryControl) {
  for (const auto& [name, entries] :
       {std::pair{"Combo1", "T5557 MF1"},
        std::pair{"Combo2", "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10"}}) {
    auto* list = control<QComboBox>(name);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->itemText(i);
    EXPECT_EQ(shown.join(' '), entries) << name;
    EXPECT_FALSE(list->isEditable()) << name;
  }

  for (const char* name : {"butWr", "butRd", "butBeep"}) control(name)->setEnabled(true);
  ASSERT_TRUE(showActive());
  QString visited = QApplication::focusWidget()->objectName();
  for (int i = 0; i < 20; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited += " " + QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(visited,
            "txtCardty txtHotel txtArea txtFloor txtRoom txtStime txtEtime txtSdate txtEdate "
            "txtFloorCnt butWr butRd butExit chkDis txtCardsno butOpen butBeep cmdWriteData Combo1 "
            "Combo2 txtCardty");
}

}  // namespace
}  // namespace keycard::testing
