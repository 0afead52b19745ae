// A Mifare card on a PN532 board at the end of a USB-serial adapter: the card commands as the
// board's frames (link/Pn532Exchange.h) on the operator's port, at 115200 baud.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "drivers/MSRD_MIF/MifareReader.h"
#include "link/Pn532Exchange.h"
#include "link/SerialLine.h"

namespace keycard::drivers {

class Pn532MifareReader final : public MifareReader {
 public:
  // Opens the line (closing any this one held), wakes the board and checks that it is a PN532:
  // 0, or the error code with the line closed again. Says on stderr why a board that answered
  // is refused; a port where nothing answers is the caller's to report.
  std::int32_t open(const std::string& path, const char* caller);
  void close();
  // Held for one card operation: its exchanges together end within the operation's time.
  link::OperationScope operationScope() { return link::OperationScope(line_); }

  std::int32_t selectCard(SelectedCard& card) override;
  std::int32_t authenticateKeyA(std::uint8_t block, const MifareKey& key) override;
  std::int32_t readBlock(std::uint8_t block, link::MifareBlock& data) override;
  std::int32_t writeBlock(std::uint8_t block, const link::MifareBlock& data) override;
  // The board has no buzzer: 0, without a sound.
  std::int32_t beep(std::uint8_t value) override;

 private:
  // One command, after waking the board again if it stopped answering before.
  std::int32_t command(link::pn532::Command code, std::span<const std::uint8_t> data,
                       std::vector<std::uint8_t>& answer);
  // A Mifare command to the listed card: 0 with the card's answer, or the card's failure.
  std::int32_t toCard(std::span<const std::uint8_t> mifare, std::vector<std::uint8_t>& answer);

  link::SerialLine line_;
  bool awake_ = false;
  bool listed_ = false;  // the board holds the card the last selectCard found
  std::array<std::uint8_t, 4> authUid_{};
};

}  // namespace keycard::drivers
