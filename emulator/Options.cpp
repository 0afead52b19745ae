#include "emulator/Options.h"

#include <limits>
#include <optional>

#include "emulator/card/CardCommands.h"
#include "link/DecimalNumber.h"
#include "link/PortName.h"

namespace keycard::emulator {

namespace {

// Wider than the drivers' range, so that a reader can stand on a port the drivers refuse.
constexpr int kLastEmulatedPort = 255;

int parseRequestNumber(const std::string& text) {
  const std::optional<int> number = link::parseDecimal<int>(text);
  if (!number || *number < 1) {
    throw UsageError("--fault-from is a request number from 1 to " +
                     std::to_string(std::numeric_limits<int>::max()) + ", not '" + text + "'");
  }
  return *number;
}

int parseTcpPort(const std::string& text) {
  const std::optional<int> number = link::parseDecimal<int>(text);
  if (!number || *number < 1 || *number > 65535) {
    throw UsageError("--vpcd is a TCP port from 1 to 65535, not '" + text + "'");
  }
  return *number;
}

// The card on a virtual PC/SC reader has no serial line, and only the faults a card can make.
void checkVpcdOptions(const ServeOptions& options, bool haveSerialOptions) {
  if (options.kind != ReaderKind::Mifare) {
    throw UsageError("--vpcd plays a Mifare card on a contactless reader: give --kind mifare");
  }
  if (haveSerialOptions) {
    throw UsageError("--port, --port-dir and --wire-delay are for the serial reader, not --vpcd");
  }
  // No silent: vpcd waits for a card's answer for ever, so pcscd would hang where a real
  // reader's driver gives up; none of the frame faults, since there are no frames.
  if (options.fault != Fault::None && options.fault != Fault::Tear &&
      options.fault != Fault::Swap && options.fault != Fault::Late) {
    throw UsageError("with --vpcd the faults are tear, swap and late");
  }
}

}  // namespace

std::string_view usageText() {
  static const std::string text =
      "usage: keycard-emulator --kind proximity|mifare|pn532 --port COMn --card FILE\n"
      "                        [--port-dir DIR] [--wire-delay] [--fault MODE [--fault-from N]]\n"
      "                        [--log FILE]\n"
      "       keycard-emulator --kind mifare --vpcd PORT [--reader acs|identiv|omnikey]\n"
      "                        --card FILE\n"
      "                        [--fault tear|swap|late [--fault-from N]] [--log FILE]\n"
      "       " +
      std::string(cardCommandsUsage()) +
      "faults: silent late slow stale corrupt truncate garbage oversize hangup tear swap\n"
      "The port link goes into DIR, by default $" +
      std::string(link::kPortDirVariable) + ".\n";
  return text;
}

ServeOptions parseServeOptions(std::span<const std::string> args,
                               const char* portDirFromEnvironment) {
  ServeOptions options;
  bool haveKind = false;
  bool haveFaultFrom = false;
  bool haveSerialOptions = false;
  bool haveReaderFamily = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
      return args[++i];
    };
    if (option == "--kind") {
      const auto kind = parseReaderKind(value());
      if (!kind) throw UsageError("--kind is proximity, mifare or pn532, not '" + args[i] + "'");
      options.kind = *kind;
      haveKind = true;
    } else if (option == "--vpcd") {
      options.vpcdPort = parseTcpPort(value());
    } else if (option == "--reader") {
      const auto family = parseReaderFamily(value());
      if (!family) throw UsageError("--reader is acs, identiv or omnikey, not '" + args[i] + "'");
      options.readerFamily = *family;
      haveReaderFamily = true;
    } else if (option == "--port") {
      haveSerialOptions = true;
      options.port = value();
      if (!link::portNumber(options.port, kLastEmulatedPort)) {
        throw UsageError("--port is a name from COM1 to COM" + std::to_string(kLastEmulatedPort) +
                         ", not '" + options.port + "'");
      }
    } else if (option == "--card") {
      options.card = value();
    } else if (option == "--port-dir") {
      haveSerialOptions = true;
      options.portDir = value();
    } else if (option == "--wire-delay") {
      haveSerialOptions = true;
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
  if (options.card.empty()) throw UsageError("--card is missing");
  if (haveFaultFrom && options.fault == Fault::None) {
    throw UsageError("--fault-from says when the fault starts, so it needs --fault");
  }
  if (options.vpcdPort != 0) {
    checkVpcdOptions(options, haveSerialOptions);
    return options;
  }
  if (haveReaderFamily) throw UsageError("--reader names the PC/SC reader: it goes with --vpcd");
  // The oversize fault fakes a length byte of the serial readers' own frames.
  if (options.kind == ReaderKind::Pn532 && options.fault == Fault::Oversize) {
    throw UsageError("--fault oversize is for the serial readers' frames, not a PN532 board");
  }
  if (options.port.empty()) throw UsageError("--port is missing");
  if (options.portDir.empty()) {
    if (portDirFromEnvironment == nullptr || *portDirFromEnvironment == '\0') {
      throw UsageError("no folder for the port link: give --port-dir or set " +
                       std::string(link::kPortDirVariable));
    }
    options.portDir = portDirFromEnvironment;
  }
  return options;
}

}  // namespace keycard::emulator
