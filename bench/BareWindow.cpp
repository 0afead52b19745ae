// What the encoder window's cold start is measured against: an empty Qt window of its size, Qt's
// default style and font, linked to nothing of ours. With --label it shows one caption in Qt's
// default font, the least any window with text pays.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

#include "bench/FirstPaintWatcher.h"
#include "ui/WindowConstants.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QWidget window;
  window.setFixedSize(keycard::window::kClientWidth, keycard::window::kClientHeight);
  if (argc > 1 && std::strcmp(argv[1], "--label") == 0) {
    new QLabel(QStringLiteral("Open CommPort OK"), &window);  // the window owns it
  }
  keycard::bench::FirstPaintWatcher watcher;
  window.installEventFilter(&watcher);
  window.show();
  return QApplication::exec();
}
