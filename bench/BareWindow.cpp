// What the encoder window's cold start is measured against: an empty Qt window of its size, Qt's
// default style and font, linked to nothing of ours.
#include <QApplication>
#include <QWidget>

#include "bench/FirstPaintWatcher.h"
#include "ui/WindowConstants.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QWidget window;
  window.setFixedSize(keycard::window::kClientWidth, keycard::window::kClientHeight);
  keycard::bench::FirstPaintWatcher watcher;
  window.installEventFilter(&watcher);
  window.show();
  return QApplication::exec();
}
