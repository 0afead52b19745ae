#include "emulator/Options.h"

#include <charconv>
#include <limits>

#include "emulator/PseudoTerminal.h"

namespace keycard::emulator {

namespace {

int parseRequestNumber(const std::string& text) {
  int number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || number < 1) {
    throw UsageError("--fault-from is a request number from 1 to " +
                     std::to_string(std::numeric_limits<int>::max()) + ", not '" + text + "'");
  }
  return number;
}

}  // namespace

std::string_view usageText() {
  return "usage: keycard-emulator --kind proximity|mifare --port COMn --card FILE\n"
         "                        [--port-dir DIR] [--wire-delay] [--fault MODE [--fault-from N]]\n"
         "                        [--log FILE]\n"
         "       keycard-emulator card new --type t5557|em4469|mifare1k FILE [--record HEX48]\n"
         "       keycard-emulator card record FILE\n"
         "       keycard-emulator card block FILE N\n"
         "faults: silent late slow stale corrupt truncate garbage oversize hangup tear\n"
         "The port link goes into DIR, by default $KEYCARD_PORT_DIR.\n";
}

ServeOptions parseServeOptions(std::span<const std::string> args,
                               const char* portDirFromEnvironment) {
  ServeOptions options;
  bool haveKind = false;
  bool haveFaultFrom = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
      return args[++i];
    };
    if (option == "--kind") {
      const auto kind = parseReaderKind(value());
      if (!kind) throw UsageError("--kind is proximity or mifare, not '" + args[i] + "'");
      options.kind = *kind;
      haveKind = true;
    } else if (option == "--port") {
      options.port = value();
      if (!isPortName(options.port)) {
        throw UsageError("--port is a name from COM1 to COM255, not '" + options.port + "'");
      }
    } else if (option == "--card") {
      options.card = value();
    } else if (option == "--port-dir") {
      options.portDir = value();
    } else if (option == "--wire-delay") {
      options.wireDelay = true;
    } else if (option == "--fault") {
      const auto fault = parseFault(value());
      if (!fault) throw UsageError("unknown fault '" + args[i] + "'");
      options.fault = *fault;
    } else if (option == "--fault-from") {
      options.faultFrom = parseRequestNumber(value());
      haveFaultFrom = true;
    } else if (option == "--log") {
      options.log = value();
    } else {
      throw UsageError("unknown argument '" + option + "'");
    }
  }
  if (!haveKind) throw UsageError("--kind is missing");
  if (options.port.empty()) throw UsageError("--port is missing");
  if (options.card.empty()) throw UsageError("--card is missing");
  if (haveFaultFrom && options.fault == Fault::None) {
    throw UsageError("--fault-from says when the fault starts, so it needs --fault");
  }
  if (options.portDir.empty()) {
    if (portDirFromEnvironment == nullptr || *portDirFromEnvironment == '\0') {
      throw UsageError("no folder for the port link: give --port-dir or set KEYCARD_PORT_DIR");
    }
    options.portDir = portDirFromEnvironment;
  }
  return options;
}

}  // namespace keycard::emulator
