// One command to a PN532 board and its answer: the frame out, the board's ACK, then its answer
// frame, all within one exchange's time and never past the line's operation deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "link/SerialLine.h"

namespace keycard::link::pn532 {

// The board's commands this driver sends (the answer's command byte is one more).
enum class Command : std::uint8_t {
  GetFirmwareVersion = 0x02,
  SamConfiguration = 0x14,
  InDataExchange = 0x40,
  InListPassiveTarget = 0x4A,
};

// The ACK and the answer together: a board answers a Mifare command in a few milliseconds.
inline constexpr std::chrono::milliseconds kExchangeTimeout{500};

// Sends `command` with `data` (after `preamble`, raw bytes such as the wake-up) and waits for the
// ACK and the answer. 0 with the answer's data (after D5 and the answer's command byte) in
// `answer`; kErrReader for the board's error frame, kErrFrame for a bad or cut frame, a missing
// ACK or an answer to another command, kErrTimeout when nothing more came in time (the board is
// then told to drop the command), kErrPort when the line failed.
std::int32_t exchange(SerialLine& line, Command command, std::span<const std::uint8_t> data,
                      std::vector<std::uint8_t>& answer,
                      std::span<const std::uint8_t> preamble = {});

// Wakes a board that sleeps after power-on (the high-speed UART's 55 55 and zeros) and puts its
// security module in normal mode, which it needs before any other command. 0 or an exchange's
// error code.
std::int32_t wakeUp(SerialLine& line);

}  // namespace keycard::link::pn532
