// keycard-emulator: a reader on a pseudo-terminal, or a card on a virtual PC/SC reader, for tests
// and for trying the tool without one.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "emulator/Options.h"
#include "emulator/card/CardCommands.h"
#include "emulator/card/CardFile.h"
#include "emulator/pcsc/VpcdCard.h"
#include "emulator/pn532/Serve.h"
#include "emulator/serial/Server.h"
#include "link/PortName.h"

namespace {

namespace emu = keycard::emulator;

// Either way of serving ends on SIGINT or SIGTERM, logs to the same file, and first clears away
// the half-saved cards of an emulator that was killed.
int serveUntilStopped(const emu::ServeOptions& options) {
  const emu::StopSignals signals;
  emu::TrafficLog log = options.log.empty() ? emu::TrafficLog() : emu::TrafficLog(options.log);
  emu::removeInterruptedSaves(options.card, std::cerr);
  if (options.vpcdPort != 0) return emu::serveVpcd(options, log, signals);
  if (options.kind == emu::ReaderKind::Pn532) return emu::pn532::serve(options, log, signals);
  return emu::serve(options, log, signals);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "card") {
    return emu::runCardCommand(std::span(args).subspan(1), std::cout, std::cerr);
  }
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << emu::usageText();
    return emu::kExitOk;
  }
  try {
    const auto options = emu::parseServeOptions(args, std::getenv(keycard::link::kPortDirVariable));
    return serveUntilStopped(options);
  } catch (const emu::UsageError& error) {
    std::cerr << "keycard-emulator: " << error.what() << '\n' << emu::usageText();
    return emu::kExitUsage;
  } catch (const std::exception& error) {
    std::cerr << "keycard-emulator: " << error.what() << '\n';
    return emu::kExitFailure;
  }
}
