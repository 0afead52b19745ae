// Linked into every target of a sanitizer build. fontconfig keeps its configuration until the
// process ends, so every program that draws text would otherwise fail the leak check at exit.
// Exported, or the sanitizer's runtime would not see it under the build's hidden visibility.
extern "C" [[gnu::visibility("default")]] const char*
__lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
  return "leak:libfontconfig.so\n";
}
