#include "drivers/MSRD_MIF/PcscLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <optional>

namespace keycard::drivers {

namespace {

template <typename Fn>
bool bind(void* library, const char* symbol, Fn& into, std::string& whyNot) {
  into = reinterpret_cast<Fn>(::dlsym(library, symbol));
  if (into == nullptr) whyNot = std::string(kPcscLibraryName) + " has no " + symbol;
  return into != nullptr;
}

std::optional<PcscLibrary> load(std::string& whyNot) {
  void* library = ::dlopen(kPcscLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = ::dlerror();
    whyNot = error != nullptr ? error : kPcscLibraryName;
    return std::nullopt;
  }
  PcscLibrary bound;
  if (bind(library, "SCardEstablishContext", bound.establishContext, whyNot) &&
      bind(library, "SCardReleaseContext", bound.releaseContext, whyNot) &&
      bind(library, "SCardListReaders", bound.listReaders, whyNot) &&
      bind(library, "SCardGetStatusChange", bound.getStatusChange, whyNot) &&
      bind(library, "SCardConnect", bound.connect, whyNot) &&
      bind(library, "SCardDisconnect", bound.disconnect, whyNot) &&
      bind(library, "SCardStatus", bound.status, whyNot) &&
      bind(library, "SCardTransmit", bound.transmit, whyNot) &&
      bind(library, "SCardControl", bound.control, whyNot) &&
      bind(library, "pcsc_stringify_error", bound.describe, whyNot)) {
    return bound;  // the library stays loaded for the life of the process
  }
  ::dlclose(library);
  return std::nullopt;
}

}  // namespace

const PcscLibrary* loadPcscLibrary(std::string& whyNot) {
  static std::mutex loading;
  static std::optional<PcscLibrary> loaded;
  const std::scoped_lock lock(loading);
  if (!loaded) loaded = load(whyNot);
  return loaded ? &*loaded : nullptr;
}

}  // namespace keycard::drivers
