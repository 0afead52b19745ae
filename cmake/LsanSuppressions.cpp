// Linked into every target of a sanitizer build. fontconfig keeps its configuration until the
// process ends, so every program that draws text would otherwise fail the leak check at exit.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\n";
}
