// The driver libraries' error codes. Every operation returns one of these when it fails; the
// README's table lists them for operators.
#pragma once

#include <cstdint>

namespace keycard::link {

enum ErrorCode : std::int32_t {
  kErrArgument = -1,   // the caller passed a bad argument (port name, null buffer, block number)
  kErrNotOpen = -2,    // no port is open (or the handle is unknown)
  kErrPort = -3,       // the serial line cannot be opened, or failed or hung up
  kErrTimeout = -4,    // the reader did not answer in time
  kErrFrame = -5,      // the reader's answer was not a valid frame
  kErrNoCard = -6,     // no card on the reader
  kErrCardKind = -7,   // the card on the reader is not of a kind this operation works on
  kErrAuth = -8,       // the card refused the key
  kErrVerify = -9,     // the card does not hold what was written
  kErrReader = -10,    // the reader refused the command
  kErrNoMemory = -11,  // the driver ran out of memory
};

}  // namespace keycard::link
