// The serial Mifare reader on one port: the card commands as frames on the line.
#pragma once

#include <cstdint>
#include <string>

#include "drivers/MSRD_MIF/MifareReader.h"
#include "link/SerialLine.h"

namespace keycard::drivers {

class SerialMifareReader final : public MifareReader {
 public:
  // Opens the line (closing any this one held) and checks that a reader answers on it: 0, or the
  // error code with the line closed again.
  std::int32_t open(const std::string& path, const char* caller);
  void close() { line_.close(); }
  // Held for one card operation: its exchanges together end within the operation's time.
  link::OperationScope operationScope() { return link::OperationScope(line_); }

  std::int32_t selectCard(SelectedCard& card) override;
  std::int32_t authenticateKeyA(std::uint8_t block, const MifareKey& key) override;
  std::int32_t readBlock(std::uint8_t block, link::MifareBlock& data) override;
  std::int32_t writeBlock(std::uint8_t block, const link::MifareBlock& data) override;
  std::int32_t beep(std::uint8_t value) override;

 private:
  link::SerialLine line_;
};

}  // namespace keycard::drivers
