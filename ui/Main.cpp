// keycard-encoder: the key card encoder window. It takes no command line and keeps no settings.
#include <QApplication>

#include "ui/ClassicStyle.h"
#include "ui/Form1.h"
#include "ui/SystemFontConfiguration.h"

int main(int argc, char** argv) {
  keycard::window::SystemFontConfigurationReader fonts;
  QApplication app(argc, argv);
  keycard::window::useClassicStyle(app);
  fonts.install();
  keycard::Form1 window;
  window.show();
  return QApplication::exec();
}
