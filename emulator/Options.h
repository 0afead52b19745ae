// The emulator's command line.
#pragma once

#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "emulator/ExitCodes.h"
#include "emulator/Faults.h"
#include "emulator/ReaderKinds.h"

namespace keycard::emulator {

struct ServeOptions {
  ReaderKind kind = ReaderKind::Proximity;
  std::string port;
  std::filesystem::path card;
  std::filesystem::path portDir;
  bool wireDelay = false;
  Fault fault = Fault::None;
  int faultFrom = 1;  // the fault spoils requests from this one on (counted from 1)
  std::filesystem::path log;
  // Not 0: play the card on the virtual PC/SC reader listening on 127.0.0.1:vpcdPort instead of
  // a serial reader on a pseudo-terminal.
  int vpcdPort = 0;
  // The family of that PC/SC reader (--reader acs|identiv|omnikey).
  ReaderFamily readerFamily = ReaderFamily::Acs;
};

// `args` without the program name; `portDirFromEnvironment` is $KEYCARD_PORT_DIR or null.
ServeOptions parseServeOptions(std::span<const std::string> args,
                               const char* portDirFromEnvironment);

std::string_view usageText();

}  // namespace keycard::emulator
