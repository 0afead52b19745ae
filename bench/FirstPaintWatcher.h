// Says "painted" on stdout when the first paint event reaches the watched window, then quits the
// application: keycard-bench times a process from its start to that line.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <cstdio>

namespace keycard::bench {

class FirstPaintWatcher : public QObject {
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

}  // namespace keycard::bench
