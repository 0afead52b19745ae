// The window as built: every control's kind, place, size, caption, state and buddy, the font
// the captions need, the lists and the tab order.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStyle>
#include <QTest>
#include <vector>

#include "tests/ui/WindowTestSupport.h"

namespace keycard::testing {
namespace {

struct ControlRow {
  const char* name;
  const char* kind;              // Qt class
  const char* caption;           // caption or start text; the current entry of a list
  int left, top, width, height;  // twips
  bool enabled;
  const char* buddy = nullptr;  // the field a label names
};

// The window's layout in twips; 15 twips make one logical pixel.
const std::vector<ControlRow> kControls = {
    {"Label1", "QLabel", "卡类型", 360, 360, 735, 255, true, "txtCardty"},
    {"txtCardty", "QLineEdit", "01", 1440, 240, 495, 375, true},
    {"Label2", "QLabel", "酒店代码", 2040, 360, 855, 255, true, "txtHotel"},
    {"txtHotel", "QLineEdit", "333033", 3000, 240, 1095, 375, true},
    {"Label12", "QLabel", "读卡器", 4200, 360, 855, 255, true, "Combo1"},
    {"Combo1", "QComboBox", "T5557", 5040, 240, 1215, 300, true},
    {"Label13", "QLabel", "端口", 6240, 240, 495, 255, true, "Combo2"},
    {"Combo2", "QComboBox", "COM1", 6840, 240, 855, 300, true},
    {"butOpen", "QPushButton", "打开串口", 6360, 720, 1095, 495, true},
    {"Label3", "QLabel", "区域", 360, 960, 855, 255, true, "txtArea"},
    {"txtArea", "QLineEdit", "01", 1440, 840, 615, 375, true},
    {"Label10", "QLabel", "楼层", 2280, 960, 495, 255, true, "txtFloor"},
    {"txtFloor", "QLineEdit", "01", 2760, 840, 495, 375, true},
    {"Label11", "QLabel", "房号", 3600, 960, 495, 255, true, "txtRoom"},
    {"txtRoom", "QLineEdit", "01", 4080, 840, 495, 375, true},
    {"Label4", "QLabel", "卡序号", 360, 1560, 975, 255, true, "txtCardsno"},
    {"txtCardsno", "QLineEdit", "01", 1440, 1440, 615, 375, true},
    {"chkDis", "QCheckBox", "禁止标志", 3000, 1440, 1095, 255, true},
    {"butBeep", "QPushButton", "BEEP", 6360, 1440, 1095, 495, false},
    {"Label6", "QLabel", "有效期", 360, 2160, 975, 255, true, "txtSdate"},
    {"txtSdate", "QLineEdit", "06-07-18 12:00", 1440, 2040, 1575, 375, true},
    {"Label8", "QLabel", "到", 3120, 2160, 375, 255, true, "txtEdate"},
    {"txtEdate", "QLineEdit", "06-07-19 12:00", 3480, 2040, 1455, 375, true},
    {"butWr", "QPushButton", "Wrkey", 6360, 2400, 1095, 495, false},
    {"Label5", "QLabel", "时间段", 360, 2760, 855, 255, true, "txtStime"},
    {"txtStime", "QLineEdit", "00:00", 1440, 2640, 735, 375, true},
    {"Label9", "QLabel", "到", 2280, 2760, 375, 255, true, "txtEtime"},
    {"txtEtime", "QLineEdit", "23:59", 2640, 2640, 615, 375, true},
    {"cmdWriteData", "QPushButton", "写数据卡", 3720, 2880, 975, 495, true},
    {"butRd", "QPushButton", "Rdkey", 6360, 3000, 1095, 495, false},
    {"Label7", "QLabel", "延续楼层/子房号", 360, 3360, 1455, 255, true, "txtFloorCnt"},
    {"txtFloorCnt", "QLineEdit", "00", 1800, 3240, 375, 375, true},
    {"butExit", "QPushButton", "Exit", 6360, 3720, 1095, 495, true},
    {"lstSta", "QLabel", "", 600, 3840, 4695, 495, true},
};

using WindowLayout = WindowTest;

// Captions are measured in the font they are drawn in: labels and buttons hold theirs whole, text
// boxes scroll and lists drop down.
TEST_F(WindowLayout, EveryControlStandsAsTheTableGivesItWithItsCaptionWhole) {
  const QFontInfo font(window->font());
  ASSERT_TRUE(
      QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::SimplifiedChinese))
      << "no Simplified Chinese font is installed (got " << font.family().toStdString()
      << "); install fonts-wqy-microhei";
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Form1"));
  EXPECT_EQ(window->minimumSize(), QSize(523, 304));
  EXPECT_EQ(window->maximumSize(), QSize(523, 304));
  EXPECT_EQ(window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), kControls.size());
  const int buttonMargin = window->style()->pixelMetric(QStyle::PM_ButtonMargin);
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* widget = control(row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), row.kind);
    EXPECT_EQ(widget->geometry(),
              QRect(row.left / 15, row.top / 15, row.width / 15, row.height / 15));
    // Labels, text boxes and buttons all have a text; a list shows its current entry.
    const QString caption =
        widget->property(qobject_cast<QComboBox*>(widget) ? "currentText" : "text").toString();
    EXPECT_EQ(caption, QString::fromUtf8(row.caption));
    EXPECT_EQ(widget->isEnabled(), row.enabled);
    EXPECT_TRUE(widget->isVisibleTo(window.get()));
    const auto* label = qobject_cast<QLabel*>(widget);
    EXPECT_EQ(label != nullptr ? label->buddy() : nullptr,
              row.buddy != nullptr ? control(row.buddy) : nullptr);

    const QFontMetrics metrics = widget->fontMetrics();
    for (const QChar c : caption) EXPECT_TRUE(metrics.inFont(c)) << "no glyph";
    int needed = metrics.horizontalAdvance(caption);
    if (qobject_cast<QPushButton*>(widget) != nullptr) needed += 2 * buttonMargin;
    if (qobject_cast<QCheckBox*>(widget) != nullptr) needed = widget->sizeHint().width();
    if (label != nullptr || qobject_cast<QAbstractButton*>(widget) != nullptr) {
      EXPECT_LE(needed, widget->width());
      EXPECT_LE(metrics.height(), widget->height());
    }
  }
  EXPECT_TRUE(control<QCheckBox>("chkDis")->isTristate());
  EXPECT_EQ(control<QLabel>("lstSta")->textFormat(), Qt::PlainText);
  // A screen reader names a text box by its buddy.
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
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
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
