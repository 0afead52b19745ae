// The driver libraries' error codes under the names the C++ code uses. The numbers are the
// drivers' public contract (drivers/DriverApi.h); the README's table lists them for operators.
#pragma once

#include <cstdint>

#include "drivers/DriverApi.h"

namespace keycard::link {

enum ErrorCode : std::int32_t {
  kErrArgument = KEYCARD_ERR_ARGUMENT,
  kErrNotOpen = KEYCARD_ERR_NOT_OPEN,
  kErrPort = KEYCARD_ERR_PORT,
  kErrTimeout = KEYCARD_ERR_TIMEOUT,
  kErrFrame = KEYCARD_ERR_FRAME,
  kErrNoCard = KEYCARD_ERR_NO_CARD,
  kErrCardKind = KEYCARD_ERR_CARD_KIND,
  kErrAuth = KEYCARD_ERR_AUTH,
  kErrVerify = KEYCARD_ERR_VERIFY,
  kErrReader = KEYCARD_ERR_READER,
  kErrNoMemory = KEYCARD_ERR_NO_MEMORY,
};

}  // namespace keycard::link
