#include "link/Errors.h"

namespace keycard::link {

const char* describe(ErrorCode code) {
  switch (code) {
    case kErrArgument:
      return "bad argument";
    case kErrNotOpen:
      return "no port is open";
    case kErrPort:
      return "the serial line cannot be opened or failed";
    case kErrTimeout:
      return "the reader did not answer in time";
    case kErrFrame:
      return "the reader's answer was not a valid frame";
    case kErrNoCard:
      return "no card on the reader";
    case kErrCardKind:
      return "the card is of the wrong kind";
    case kErrAuth:
      return "the card refused the key";
    case kErrVerify:
      return "the card does not hold what was written";
    case kErrReader:
      return "the reader refused the command";
  }
  return "unknown error";
}

}  // namespace keycard::link
