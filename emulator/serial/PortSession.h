// A session on a pseudo-terminal linked at the chosen port: the serial readers and the PN532 board
// are served the same way, and differ only in how their Session answers the line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <span>
#include <string_view>

#include "emulator/ExitCodes.h"
#include "emulator/Options.h"
#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"
#include "emulator/serial/LineIo.h"
#include "emulator/serial/PortLink.h"
#include "emulator/serial/PortLock.h"
#include "emulator/serial/PseudoTerminal.h"

namespace keycard::emulator {

// What a session on the line holds, and how its answers go out.
class LineSession {
 protected:
  LineSession(const ServeOptions& options, PseudoTerminal& line, TrafficLog& log,
              const StopSignals& signals)
      : options_(options), line_(line), log_(log), signals_(signals) {}

  // Logged before it goes out, so whoever has read the bytes finds them in the log.
  void put(std::span<const std::uint8_t> bytes, std::string_view note) {
    if (bytes.empty()) return;
    log_.line("->", bytes, note);
    if (!writeAll(line_, signals_, bytes)) log_.line("!!", bytes, "dropped: nobody reads the line");
  }

  // The hang-up fault: the line closes once the client has read what came before.
  int hangUp() {
    std::cerr << "keycard-emulator: hanging up the line (--fault hangup)\n";
    awaitClientRead(line_, signals_);
    line_.hangUp();
    return kExitHungUp;
  }

  const ServeOptions& options_;
  PseudoTerminal& line_;
  TrafficLog& log_;
  const StopSignals& signals_;
};

// Holds the port's lock and link while `Session(options, line, log, signals).run()` serves; prints
// "ready" once the port answers. Returns the session's exit code.
template <typename Session>
int serveOnPort(const ServeOptions& options, TrafficLog& log, const StopSignals& signals) {
  const std::filesystem::path port = options.portDir / options.port;
  const PortLock lock(port);
  PseudoTerminal line;
  PortLink link(port, line.slavePath(), std::cerr);
  std::cout << "ready" << std::endl;

  Session session(options, line, log, signals);
  const int exitCode = session.run();
  link.remove();
  return exitCode;
}

}  // namespace keycard::emulator
