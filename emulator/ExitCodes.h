// The emulator's exit codes, for `serve` and the card commands alike.
#pragma once

namespace keycard::emulator {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitHungUp = 3;  // --fault hangup closed the line

}  // namespace keycard::emulator
