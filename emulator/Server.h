// Runs an emulated reader on a pseudo-terminal until SIGINT or SIGTERM.
#pragma once

#include "emulator/ExitCodes.h"
#include "emulator/Options.h"

namespace keycard::emulator {

// Prints "ready" on stdout once the port answers. Returns the exit code; failures to set up
// throw std::runtime_error.
int serve(const ServeOptions& options);

}  // namespace keycard::emulator
