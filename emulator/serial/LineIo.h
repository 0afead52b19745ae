// Reading and writing the master side of an emulated reader's pseudo-terminal, shared by the
// readers played on one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "emulator/StopSignals.h"
#include "emulator/serial/PseudoTerminal.h"

namespace keycard::emulator {

// Appends what the client sent; false (with the reason on stderr) when the line failed.
bool readInto(const PseudoTerminal& line, std::vector<std::uint8_t>& input);

// False when the bytes could not all go out: nobody reads the line, or a stop came.
bool writeAll(const PseudoTerminal& line, const StopSignals& signals,
              std::span<const std::uint8_t> bytes);

// Closing the master throws away what the client has not read yet, so a hang-up first waits (a
// second at most) for the bytes written to be read, as on a cable pulled mid-reply.
void awaitClientRead(const PseudoTerminal& line, const StopSignals& signals);

}  // namespace keycard::emulator
