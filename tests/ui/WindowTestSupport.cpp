#include "WindowTestSupport.h"

// Read by the leak checker of sanitizer builds: fontconfig keeps its configuration until the
// process ends, and the tests never destroy the application that loaded it.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\n";
}
