// Plays a PN532 board on a pseudo-terminal until SIGINT or SIGTERM.
#pragma once

#include "emulator/Options.h"
#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"

namespace keycard::emulator::pn532 {

// Prints "ready" on stdout once the port answers. Returns the exit code; failures to set up
// throw std::runtime_error.
int serve(const ServeOptions& options, TrafficLog& log, const StopSignals& signals);

}  // namespace keycard::emulator::pn532
