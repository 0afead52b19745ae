#include "ui/SystemFontConfiguration.h"

namespace keycard::window {

namespace {

bool namesCacheFolders(FcConfig* config) {
  FcStrList* folders = FcConfigGetCacheDirs(config);
  if (folders == nullptr) return false;
  const bool any = FcStrListNext(folders) != nullptr;
  FcStrListDone(folders);
  return any;
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

void loadSystemFontConfiguration() {
  FcConfig* config = readSystemFontConfiguration();
  if (config == nullptr) return;
  FcConfigSetCurrent(config);  // takes a reference of its own
  FcConfigDestroy(config);
}

}  // namespace keycard::window
