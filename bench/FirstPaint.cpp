// The encoder window from a cold process to its first paint: prints "painted" on stdout when the
// first paint event reaches the window, then quits. keycard-bench times it from outside.
#include <QApplication>
#include <QEvent>
#include <QObject>
#include <cstdio>

#include "ui/Form1.h"

namespace keycard::bench {
namespace {

class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      std::puts("painted");
      std::fflush(stdout);
      QCoreApplication::quit();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool painted_ = false;
};

}  // namespace
}  // namespace keycard::bench

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  keycard::Form1 window;
  keycard::bench::FirstPaint watcher;
  window.installEventFilter(&watcher);
  window.show();
  return QApplication::exec();
}
