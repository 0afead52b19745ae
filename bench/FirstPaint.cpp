// The encoder window from a cold process to its first paint, started as keycard-encoder starts
// it (its style, its window).
#include <QApplication>

#include "bench/FirstPaintWatcher.h"
#include "ui/ClassicStyle.h"
#include "ui/Form1.h"
#include "ui/SystemFontConfiguration.h"

int main(int argc, char* argv[]) {
  keycard::window::SystemFontConfigurationReader fonts;
  QApplication application(argc, argv);
  keycard::window::useClassicStyle(application);
  fonts.install();
  keycard::Form1 window;
  keycard::bench::FirstPaintWatcher watcher;
  window.installEventFilter(&watcher);
  window.show();
  return QApplication::exec();
}
