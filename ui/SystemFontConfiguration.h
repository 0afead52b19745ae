// The system's font configuration, loaded before Qt asks for it.
#pragma once

#include <fontconfig/fontconfig.h>

#include <thread>

namespace keycard::window {

// The font configuration the system and the user chose (the same files, hence the same fonts,
// substitutions and rendering), read without the font library's parse of its whole catalogue of
// optional configuration templates, which only its listing tool shows: that parse is most of the
// work a window with text does before it paints. Null where the configuration does not load
// whole; the caller owns the result.
FcConfig* readSystemFontConfiguration();

// Reads that configuration on a thread of its own while the application object and its style
// are made, which need no font; install() waits for it and makes it the one every later font
// lookup uses. Make the reader before the application object and install it before anything
// lays out text or registers a font. In between, nothing may ask the library anything (Qt does
// not): it would load a configuration of its own first. Nor may anything change the environment,
// which the library reads: Qt does so only to take a desktop's start-up notification token, and
// where one is set, the configuration is read in place, before the application object. Where it
// does not load whole, install() leaves the library to load it by itself on first use, with its
// own fallbacks and messages.
class SystemFontConfigurationReader {
 public:
  SystemFontConfigurationReader();
  // Waits for a reading never installed, and drops what it read.
  ~SystemFontConfigurationReader();
  SystemFontConfigurationReader(const SystemFontConfigurationReader&) = delete;
  SystemFontConfigurationReader& operator=(const SystemFontConfigurationReader&) = delete;

  void install();

 private:
  void wait();

  std::thread reader_;
  FcConfig* config_ = nullptr;
};

}  // namespace keycard::window
