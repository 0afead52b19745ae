#include "link/Pn532Exchange.h"

#include <algorithm>
#include <array>

#include "link/Errors.h"
#include "link/Pn532Frame.h"

namespace keycard::link::pn532 {

namespace {

// 55 55 wakes the board's UART; the zeros give it the time to start before the frame.
constexpr std::array<std::uint8_t, 16> kWakeUp = {0x55, 0x55};
// Normal mode: the board works as a reader, with no security module wired to it.
constexpr std::uint8_t kSamNormalMode = 0x01;
// Long enough to send an ACK at 115200 baud, even after the operation's time is up.
constexpr std::chrono::milliseconds kAbortTime{20};

std::int32_t lineFailure(SerialLine::IoResult result) {
  return result == SerialLine::IoResult::Timeout ? kErrTimeout : kErrPort;
}

// An ACK from the host makes the board drop the command it is working on, so its late answer
// cannot meet the next command.
void abortCommand(SerialLine& line) {
  line.writeAll(kAck, Deadline::after(kAbortTime));
}

}  // namespace

std::int32_t exchange(SerialLine& line, Command command, std::span<const std::uint8_t> data,
                      std::vector<std::uint8_t>& answer, std::span<const std::uint8_t> preamble) {
  answer.clear();
  if (!line.isOpen()) return kErrNotOpen;
  const Deadline operation = line.operationDeadline();
  if (operation.passed()) return kErrTimeout;

  std::vector<std::uint8_t> body{kHostToBoard, static_cast<std::uint8_t>(command)};
  body.insert(body.end(), data.begin(), data.end());
  const std::vector<std::uint8_t> frame = encodeFrame(body);
  if (frame.empty()) return kErrArgument;
  std::vector<std::uint8_t> request(preamble.begin(), preamble.end());
  request.insert(request.end(), frame.begin(), frame.end());

  // Whatever is waiting now (a late answer, line noise) answers nothing of ours.
  line.discardInput();
  const Deadline deadline = Deadline::after(kExchangeTimeout).sooner(operation);
  const SerialLine::IoResult written = line.writeAll(request, deadline);
  if (written != SerialLine::IoResult::Ok) return lineFailure(written);

  const auto expected = static_cast<std::uint8_t>(static_cast<std::uint8_t>(command) + 1);
  bool acknowledged = false;
  std::vector<std::uint8_t> received;
  std::vector<std::uint8_t> got;
  for (;;) {
    const SerialLine::IoResult read = line.readSome(received, deadline);
    if (read == SerialLine::IoResult::Timeout) {
      abortCommand(line);
      if (received.empty()) return kErrTimeout;
      line.discardInput();
      return kErrFrame;  // a frame began but never ended
    }
    if (read != SerialLine::IoResult::Ok) return lineFailure(read);

    for (;;) {
      std::size_t consumed = 0;
      const Parse parsed = parseFrame(received, got, consumed);
      if (parsed == Parse::Incomplete) break;
      received.erase(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(
                                                              std::min(consumed, received.size())));
      switch (parsed) {
        case Parse::Ack:
          acknowledged = true;
          continue;
        case Parse::Error:
          return kErrReader;
        case Parse::Information:
          // The board ACKs every good frame first; an answer without one is not to this command.
          if (!acknowledged || got.size() < 2 || got[0] != kBoardToHost || got[1] != expected) {
            line.discardInput();
            return kErrFrame;
          }
          answer.assign(got.begin() + 2, got.end());
          return 0;
        default:  // a bad frame, or a NACK: the board saw our frame spoiled
          line.discardInput();
          return kErrFrame;
      }
    }
  }
}

std::int32_t wakeUp(SerialLine& line) {
  const std::uint8_t mode[] = {kSamNormalMode};
  std::vector<std::uint8_t> answer;
  const std::int32_t result = exchange(line, Command::SamConfiguration, mode, answer, kWakeUp);
  if (result != 0) return result;
  return answer.empty() ? 0 : kErrFrame;
}

}  // namespace keycard::link::pn532
