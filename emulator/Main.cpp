// keycard-emulator: a reader on a pseudo-terminal, or a card on a virtual PC/SC reader, for tests
// and for trying the tool without one.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "emulator/CardCommands.h"
#include "emulator/Options.h"
#include "emulator/Server.h"
#include "emulator/VpcdCard.h"
#include "link/PortName.h"

int main(int argc, char** argv) {
  namespace emu = keycard::emulator;
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
    return options.vpcdPort != 0 ? emu::serveVpcd(options) : emu::serve(options);
  } catch (const emu::UsageError& error) {
    std::cerr << "keycard-emulator: " << error.what() << '\n' << emu::usageText();
    return emu::kExitUsage;
  } catch (const std::exception& error) {
    std::cerr << "keycard-emulator: " << error.what() << '\n';
    return emu::kExitFailure;
  }
}
