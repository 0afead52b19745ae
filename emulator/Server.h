// Runs an emulated reader on a pseudo-terminal until SIGINT or SIGTERM.
#pragma once

#include "emulator/Options.h"

namespace keycard::emulator {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitHungUp = 3;  // --fault hangup closed the line

// Prints "ready" on stdout once the port answers. Returns the exit code; failures to set up
// throw std::runtime_error.
int serve(const ServeOptions& options);

}  // namespace keycard::emulator
