#include "ui/SystemFontConfiguration.h"

#include <clocale>
#include <cstdlib>
#include <system_error>

namespace keycard::window {

namespace {

bool namesCacheFolders(FcConfig* config) {
  FcStrList* folders = FcConfigGetCacheDirs(config);
  if (folders == nullptr) return false;
  const bool any = FcStrListNext(folders) != nullptr;
  FcStrListDone(folders);
  return any;
}

// Qt's platforms take a desktop's start-up notification token out of the environment while the
// application object is made (xcb: DESKTOP_STARTUP_ID). Removing a variable shifts the ones after
// it, so a thread reading the environment meanwhile could miss one the library reads
// (FONTCONFIG_FILE, HOME, XDG_CONFIG_HOME) and load another configuration without a word.
bool environmentStaysPut() {
  return std::getenv("DESKTOP_STARTUP_ID") == nullptr &&
         std::getenv("XDG_ACTIVATION_TOKEN") == nullptr;
}

}  // namespace

FcConfig* readSystemFontConfiguration() {
  FcConfig* config = FcConfigCreate();
  if (config == nullptr) return nullptr;
  // A file that does not parse, or one naming no cache folder, the library mends on its own
  // (a built-in configuration, default folders and a warning): both are left to it.
  if (FcConfigParseAndLoad(config, nullptr, FcTrue) == FcTrue && namesCacheFolders(config) &&
      FcConfigBuildFonts(config) == FcTrue) {
    return config;
  }
  FcConfigDestroy(config);
  return nullptr;
}

SystemFontConfigurationReader::SystemFontConfigurationReader() {
  if (environmentStaysPut()) {
    // The application object sets the process's locale while the files are read, and the
    // library reads their decimal numbers through the locale: the thread keeps one of its own.
    const locale_t classic = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (classic != locale_t{}) {
      try {
        reader_ = std::thread([this, classic] {
          uselocale(classic);
          config_ = readSystemFontConfiguration();
          uselocale(LC_GLOBAL_LOCALE);
          freelocale(classic);
        });
        return;
      } catch (const std::system_error&) {
        freelocale(classic);
      }
    }
  }
  // Where the environment is about to change, or no thread is to be had: read it here instead.
  config_ = readSystemFontConfiguration();
}

SystemFontConfigurationReader::~SystemFontConfigurationReader() {
  wait();
  if (config_ != nullptr) FcConfigDestroy(config_);
}

void SystemFontConfigurationReader::wait() {
  if (reader_.joinable()) reader_.join();
}

void SystemFontConfigurationReader::install() {
  wait();
  if (config_ == nullptr) return;
  FcConfigSetCurrent(config_);  // takes a reference of its own
  FcConfigDestroy(config_);
  config_ = nullptr;
}

}  // namespace keycard::window
