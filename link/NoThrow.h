// The drivers' C entry points must not let a C++ exception (in practice std::bad_alloc) reach a
// caller that cannot catch it.
#pragma once

#include <cstdint>

#include "link/Errors.h"

namespace keycard::link {

template <typename Operation>
std::int32_t noThrow(Operation&& operation) noexcept {
  try {
    return operation();
  } catch (...) {
    return kErrReader;
  }
}

}  // namespace keycard::link
