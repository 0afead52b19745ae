// Runs an emulated reader on a pseudo-terminal until SIGINT or SIGTERM.
#pragma once

#include "emulator/ExitCodes.h"
#include "emulator/Options.h"
#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"

namespace keycard::emulator {

// Prints "ready" on stdout once the port answers. Returns the exit code; failures to set up
// throw std::runtime_error.
int serve(const ServeOptions& options, TrafficLog& log, const StopSignals& signals);

}  // namespace keycard::emulator
