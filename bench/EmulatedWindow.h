// The encoder window opened on an emulated reader, for timing what an operator's click costs.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/EmulatorProcess.h"

namespace keycard {
class Form1;
}

namespace keycard::bench {

enum class ReaderKind { Proximity, Mifare };

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
  // The bytes that crossed the line in both directions since the last call (or the open), from
  // the emulator's traffic log.
  std::size_t bytesOnTheLine();

 private:
  testing::TempDir dir_;
  testing::ScopedPortDir portDir_;
  std::filesystem::path log_;
  std::unique_ptr<testing::EmulatorProcess> reader_;
  std::unique_ptr<Form1> window_;
  std::uintmax_t logRead_ = 0;
};

}  // namespace keycard::bench
