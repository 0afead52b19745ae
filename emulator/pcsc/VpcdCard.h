// Plays the card file's Mifare card on the virtual PC/SC reader (vsmartcard's vpcd driver in
// pcscd): the card is on the reader while its file exists, i.e. connected to vpcd's TCP port.
#pragma once

#include "emulator/Options.h"
#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"

namespace keycard::emulator {

// Prints "ready" on stdout once pcscd shows the card to its clients (it has powered the card and
// looked for it again), or at once when there is no card the
// reader can see (no file, a 125 kHz card). Serves until SIGINT or SIGTERM and returns the exit
// code; throws std::runtime_error when it cannot set up (the log file).
int serveVpcd(const ServeOptions& options, TrafficLog& log, const StopSignals& signals);

}  // namespace keycard::emulator
