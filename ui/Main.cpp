// keycard-encoder: the key card encoder window. It takes no command line and keeps no settings.
#include <QApplication>

#include "ui/Form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Sunken fields and raised buttons, the look the operators know.
  QApplication::setStyle(QStringLiteral("Windows"));
  keycard::Form1 window;
  window.show();
  return QApplication::exec();
}
