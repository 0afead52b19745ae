// The emulator's exit codes, for `serve` and the card commands alike, and the error that ends a
// command with kExitUsage.
#pragma once

#include <stdexcept>

namespace keycard::emulator {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitHungUp = 3;  // --fault hangup closed the line

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace keycard::emulator
