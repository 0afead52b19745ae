// An emulated PN532 board on a high-speed UART: it sleeps until the wake-up (55 55), ACKs every
// sound frame from the host and answers it, with the card in its field. No I/O but the card file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/pn532/Field.h"

namespace keycard::emulator::pn532 {

// For the traffic log: "GetFirmwareVersion", "InDataExchange", ...
std::string_view commandName(std::uint8_t command);

// What the board made of some bytes from the host.
struct Exchange {
  Bytes request;         // the bytes taken from the line
  std::string note;      // what they were
  bool command = false;  // a command frame the board took: the ACK and the answer follow
  Bytes ack;             // empty: none
  Bytes answer;          // a whole frame; empty: none
  std::string answerNote;
  bool wroteBlock = false;  // the card took a block write
};

class Board {
 public:
  // Problems with the card file go to `warnings`.
  Board(std::filesystem::path cardFile, std::ostream& warnings);

  // Takes what it can from the front of `input` (whole frames, noise, the wake-up) and says what
  // it did with it; bytes that may begin a frame stay.
  std::vector<Exchange> take(Bytes& input);

  bool asleep() const { return state_ == State::Asleep; }

 private:
  enum class State {
    Asleep,    // after power-on (low-battery mode) or PowerDown: only the wake-up reaches it
    WaitsSam,  // woken from low-battery mode: SAMConfiguration must come first
    Awake,
  };

  std::optional<Exchange> wakeUp(Bytes& input);
  Exchange command(Bytes request, const Bytes& body);
  // The answer's data after D5 and the command code + 1; nullopt: the error frame.
  std::optional<Bytes> answer(std::uint8_t code, std::span<const std::uint8_t> data);
  std::optional<Bytes> diagnose(std::span<const std::uint8_t> data);
  std::optional<Bytes> listPassiveTarget(std::span<const std::uint8_t> data);

  Field field_;
  State state_ = State::Asleep;
  bool lowBattery_ = true;  // a board just powered on: SAMConfiguration after the wake-up
  bool fieldOn_ = false;
  std::map<std::uint16_t, std::uint8_t> registers_;
  Bytes lastAnswer_;  // sent again on a NACK
};

}  // namespace keycard::emulator::pn532
