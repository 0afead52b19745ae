// A session on a pseudo-terminal linked at the chosen port: the serial readers and the PN532 board
// are served the same way, and differ only in how their Session answers the line.
#pragma once

#include <filesystem>
#include <iostream>

#include "emulator/Options.h"
#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"
#include "emulator/serial/PortLink.h"
#include "emulator/serial/PortLock.h"
#include "emulator/serial/PseudoTerminal.h"

namespace keycard::emulator {

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
