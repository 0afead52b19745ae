// The window as an operator meets it: captions and list entries shown whole, in its own font,
// which draws them as the installed font it was cut from, every label naming a field for a screen
// reader, and the tab order.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include "tests/ui/WindowTestSupport.h"
#include "ui/SystemFontConfiguration.h"
#include "ui/WindowConstants.h"

namespace keycard::testing {
namespace {

using WindowLayout = WindowTest;

// The characters of `text` that `font` does not draw from the window's own family: where Qt would
// fall back to another font, or find no glyph at all.
QString notDrawnInTheWindowFont(const QString& text, const QFont& font) {
  const QRawFont drawing = QRawFont::fromFont(font);
  const bool ours = drawing.familyName() == QString::fromLatin1(window::kFontFamily);
  QString missing;
  for (const QChar c : text) {
    if (!ours || !drawing.supportsCharacter(c)) missing += c;
  }
  return missing;
}

// Captions are measured in the font they are drawn in (WindowFont below checks that it has their
// glyphs): labels, buttons and each entry of a list show whole; text boxes scroll.
TEST_F(WindowLayout, EveryCaptionFitsItsControlAndEveryLabelNamesAField) {
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  const int buttonMargin = window->style()->pixelMetric(QStyle::PM_ButtonMargin);
  const auto status = control<QLabel>("lstSta");
  for (QWidget* widget : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_TRUE(window->rect().contains(widget->geometry()));
    const auto* label = qobject_cast<QLabel*>(widget);
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    if (const auto* list = qobject_cast<QComboBox*>(widget)) {
      // Each entry within the part of the list that shows it, beside the arrow.
      QStyleOptionComboBox option;
      option.initFrom(list);
      const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                        QStyle::SC_ComboBoxEditField, list);
      for (int i = 0; i < list->count(); ++i) {
        EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(i)), field.width())
            << list->itemText(i).toStdString();
      }
      // The classic list's narrow button, right where the field ends.
      const QRect arrow = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                        QStyle::SC_ComboBoxArrow, list);
      EXPECT_EQ(std::pair(arrow.left(), arrow.width()), std::pair(field.right() + 1, 10));
    }
    if (label == nullptr && button == nullptr) continue;
    const QString caption = widget->property("text").toString();
    const QFontMetrics metrics = widget->fontMetrics();
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

TEST_F(WindowLayout, TabRunsFromCardTypeThroughEveryControl) {
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

using WindowFont = WindowTest;

// Everything the window can show: its captions and start texts as built, and what an operator may
// type into a field (ASCII, which also makes up every status line, and what an input method types
// in full width).
std::vector<std::pair<const char*, QStringList>> textsTheWindowShows(const Form1& form) {
  QStringList captions{form.windowTitle()};
  for (const QWidget* widget : form.findChildren<QWidget*>()) {
    if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
      for (int i = 0; i < list->count(); ++i) captions << list->itemText(i);
    } else if (widget->property("text").isValid()) {
      captions << widget->property("text").toString();
    }
  }
  QString typed;
  for (char16_t c = u' '; c <= u'~'; ++c) typed += QChar(c);
  // An input method's full-width mode types these; the fields read them as ASCII.
  typed += QChar(u'\u3000');
  for (char16_t c = u'\uFF01'; c <= u'\uFF5E'; ++c) typed += QChar(c);
  return {{"caption", captions}, {"typed", {typed}}};
}

TEST_F(WindowFont, HoldsEveryCharacterTheWindowCanShow) {
  for (const auto& [source, texts] : textsTheWindowShows(*window)) {
    for (const QString& text : texts) {
      EXPECT_EQ(notDrawnInTheWindowFont(text, window->font()).toStdString(), "")
          << source << " \"" << text.toStdString() << "\": run scripts/window-font.sh";
    }
  }
}

// Context menus and the like keep the system's font: the window lends the application its own
// only while it builds its controls.
TEST_F(WindowFont, LeavesTheApplicationFontAsItFoundIt) {
  const QFont before = QApplication::font();
  const Form1 another;
  EXPECT_EQ(QApplication::font(), before);
  EXPECT_NE(before.family(), another.font().family());
}

QImage drawn(const QString& text, const QFont& font) {
  const QFontMetrics metrics(font);
  QImage image(metrics.horizontalAdvance(text) + 4, metrics.height() + 4, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(2, 2 + metrics.ascent(), text);
  return image;
}

// Each text, and the whole window, in the window's font and in the installed font it was cut
// from, as the window drew itself before it carried its own.
TEST_F(WindowFont, DrawsEveryTextAndTheWholeWindowAsTheFontItWasCutFrom) {
  const QFont installed(QString::fromLatin1(window::kSourceFontFamily), window::kFontPointSize);
  ASSERT_TRUE(QFontDatabase::families().contains(installed.family()))
      << "the font to compare with is not installed: scripts/install-deps.sh test";
  for (const auto& [source, texts] : textsTheWindowShows(*window)) {
    for (const QString& text : texts) {
      EXPECT_TRUE(drawn(text, window->font()) == drawn(text, installed))
          << source << " \"" << text.toStdString() << "\"";
    }
  }
  const QImage own = window->grab().toImage();
  window->setFont(installed);
  EXPECT_TRUE(window->grab().toImage() == own);
}

// What `config` answers to a request as Qt makes it: the font it draws with (file, face and the
// rendering settings the configuration sets), then the fallbacks in their order.
std::string answer(FcConfig* config, const char* request) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(request));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  std::string text = "no match";
  if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
    FcChar8* name = FcNameUnparse(match);
    text = reinterpret_cast<const char*>(name);
    FcStrFree(name);
    FcPatternDestroy(match);
  }
  if (FcFontSet* fallbacks = FcFontSort(config, pattern, FcTrue, nullptr, &result)) {
    for (int i = 0; i < fallbacks->nfont; ++i) {
      FcChar8* family = nullptr;
      if (FcPatternGetString(fallbacks->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
        text += std::string(" > ") + reinterpret_cast<const char*>(family);
      }
    }
    FcFontSetDestroy(fallbacks);
  }
  FcPatternDestroy(pattern);
  return text;
}

// The window loads the font configuration itself, before Qt would have the library do it: every
// request must meet the same fonts, substitutions and rendering as with the library's own.
TEST(SystemFontConfiguration, AnswersAsTheLibrarysOwn) {
  FcConfig* ours = window::readSystemFontConfiguration();
  ASSERT_NE(ours, nullptr);
  FcConfig* library = FcInitLoadConfigAndFonts();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(FcConfigGetFonts(ours, FcSetSystem)->nfont,
            FcConfigGetFonts(library, FcSetSystem)->nfont);
  for (const char* request :
       {"WenQuanYi Micro Hei:pixelsize=12", "Sans Serif:lang=zh-cn", "sans-serif:pixelsize=12",
        "serif:weight=bold:slant=italic", "monospace", "SimSun:lang=zh-cn", "Helvetica",
        "DejaVu Sans:pixelsize=8:antialias=false"}) {
    EXPECT_EQ(answer(ours, request), answer(library, request)) << request;
  }
  FcConfigDestroy(library);
  FcConfigDestroy(ours);
}

}  // namespace
}  // namespace keycard::testing
