#include "WindowTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace keycard::testing {

QString WindowTest::text(const char* name) const {
  if (auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name))) return edit->text();
  return control<QLabel>(name)->text();
}

void WindowTest::click(const char* button) const {
  // click() does nothing on a disabled button, as a mouse click would not.
  control<QPushButton>(button)->click();
}

}  // namespace keycard::testing

// Read by the leak checker of sanitizer builds: fontconfig keeps its configuration until the
// process ends, and the tests never destroy the application that loaded it.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\n";
}
