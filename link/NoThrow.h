// The drivers' C entry points must not let a C++ exception reach a caller that cannot catch it.
#pragma once

#include <cstdint>
#include <new>

#include "link/Errors.h"

namespace keycard::link {

template <typename Operation>
std::int32_t noThrow(Operation&& operation) noexcept {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  } catch (...) {
    return kErrReader;  // the driver failed inside; nothing else is thrown in practice
  }
}

}  // namespace keycard::link
