// The encoder window opened on an emulated reader, for timing what an operator's click costs.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "tests/support/EmulatorProcess.h"

namespace keycard {
class Form1;
}

namespace keycard::bench {

// PcscMifare: a Mifare card on the virtual PC/SC reader of the private pcscd the benchmarks run
// beside (scripts/private-pcscd.sh), reached with KEYCARD_MIFARE_READER=pcsc. Pn532Mifare: the
// emulated PN532 board on the port, found by the open itself.
enum class ReaderKind { Proximity, Mifare, PcscMifare, Pn532Mifare };

class EmulatedWindow {
 public:
  // Starts the emulator with a blank card of `cardType` and opens it through the window; throws
  // std::runtime_error when the open fails.
  EmulatedWindow(ReaderKind kind, const std::string& cardType, bool wireDelay);
  EmulatedWindow(const EmulatedWindow&) = delete;
  EmulatedWindow& operator=(const EmulatedWindow&) = delete;
  ~EmulatedWindow();

  // Clicks the button and returns how long the click took, handler and driver call included.
  std::chrono::nanoseconds click(const char* button);
  QString caption() const;
  struct Traffic {
    std::size_t bytes = 0;     // in both directions
    std::size_t commands = 0;  // that the reader received (on PC/SC, the APDUs)
  };
  // What crossed the line since the last call (or the open), from the emulator's traffic log.
  Traffic traffic();

 private:
  testing::TempDir dir_;
  testing::ScopedPortDir portDir_;
  std::optional<testing::ScopedEnv> readerChoice_;
  std::filesystem::path log_;
  std::unique_ptr<testing::EmulatorProcess> reader_;
  std::unique_ptr<Form1> window_;
  std::uintmax_t logRead_ = 0;
};

}  // namespace keycard::bench
