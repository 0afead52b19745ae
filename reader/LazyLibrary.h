// Binds a driver library by name at the first call of one of its operations, so the window
// starts without the drivers and reports a missing one only when the operator needs it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "drivers/DriverApi.h"  // the drivers' calling convention and codes

namespace keycard::reader {

// What every operation returns when its library or the operation itself cannot be found.
inline constexpr std::int32_t kMissingDriver = KEYCARD_ERR_MISSING_DRIVER;

class LazyLibrary {
 public:
  explicit LazyLibrary(std::string fileName) : fileName_(std::move(fileName)) {}
  LazyLibrary(const LazyLibrary&) = delete;
  LazyLibrary& operator=(const LazyLibrary&) = delete;

  // The operation's address, or nullptr after one line on stderr that names what is missing.
  void* resolve(const char* symbol);
  // Whether the library itself loads (loads it on the first call).
  bool loads();

 private:
  void* handle();

  std::string fileName_;
  std::once_flag opened_;
  void* handle_ = nullptr;
};

// The operation `symbol` of `library` as a function of type Fn, the type its driver's header
// declares (callers keep it in a static).
template <typename Fn>
Fn* resolveAs(LazyLibrary& library, const char* symbol) {
  return reinterpret_cast<Fn*>(library.resolve(symbol));
}

// Calls a bound operation, or reports the missing driver. The arguments' types must be exactly
// the operation's, so a binding whose signature has drifted from the driver's header does not
// compile.
template <typename... Params>
std::int32_t callBound(std::int32_t(KEYCARD_CALL* bound)(Params...), Params... args) {
  return bound != nullptr ? bound(args...) : kMissingDriver;
}

}  // namespace keycard::reader
