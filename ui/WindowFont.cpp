#include "ui/WindowFont.h"

#include <QFontDatabase>
#include <QResource>
#include <cstdio>

#include "ui/WindowConstants.h"

// The resource lives in this static library: naming it here keeps the linker from leaving it out.
static void initWindowFontResource() {
  Q_INIT_RESOURCE(WindowFont);
}

namespace keycard::window {

namespace {

// The family to ask for: the built-in one, or where it cannot be registered (a damaged build),
// the installed font it was cut from, so that a machine that has it still shows the captions.
QString registerBuiltInFamily() {
  initWindowFontResource();
  const QResource resource(QStringLiteral(":/keycard/KeycardWindowHei.ttf"));
  // Stored uncompressed, so Qt reads the font where the program's image holds it, uncopied.
  const QByteArray data =
      resource.compressionAlgorithm() == QResource::NoCompression
          ? QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                    static_cast<qsizetype>(resource.size()))
          : resource.uncompressedData();
  const int id = QFontDatabase::addApplicationFontFromData(data);
  const QString family = QString::fromLatin1(kFontFamily);
  if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(family)) {
    std::fprintf(stderr,
                 "keycard: the window's built-in font (%s) did not load; the captions need %s "
                 "installed (fonts-wqy-microhei) or they show as boxes. Rebuild the program.\n",
                 kFontFamily, kSourceFontFamily);
    return QString::fromLatin1(kSourceFontFamily);
  }
  return family;
}

}  // namespace

QFont windowFont() {
  static const QString family = registerBuiltInFamily();
  return QFont(family, kFontPointSize);
}

}  // namespace keycard::window
