#include "link/Transact.h"

#include "link/Frame.h"

namespace keycard::link {

std::int32_t errorForStatus(std::uint8_t status) {
  switch (static_cast<Status>(status)) {
    case Status::Ok:
      return 0;
    case Status::NoCard:
      return kErrNoCard;
    case Status::UnknownCommand:
      return kErrReader;
    case Status::BadArgument:
      return kErrArgument;
    case Status::WrongCardKind:
      return kErrCardKind;
    case Status::AuthFailed:
      return kErrAuth;
    case Status::ReadOnly:
      return kErrArgument;
    case Status::WriteFailed:
      return kErrVerify;
  }
  return kErrFrame;
}

namespace {

std::int32_t lineFailure(SerialLine::IoResult result) {
  return result == SerialLine::IoResult::Timeout ? kErrTimeout : kErrPort;
}

// A reply is good when it answers this very request and carries a status. A reply to another
// request (one that came too late, or one meant for another program on the port) may look
// exactly like the right one but for its number: it is a bad frame, never data.
std::int32_t checkReply(const Frame& reply, std::uint8_t sequence, Command command,
                        std::vector<std::uint8_t>& replyData) {
  if (reply.sequence != sequence) return kErrFrame;
  if (reply.command != (static_cast<std::uint8_t>(command) | kReplyBit)) return kErrFrame;
  if (reply.payload.empty()) return kErrFrame;
  const std::int32_t error = errorForStatus(reply.payload.front());
  if (error != 0) return error;
  replyData.assign(reply.payload.begin() + 1, reply.payload.end());
  return 0;
}

}  // namespace

std::int32_t transact(SerialLine& line, Command command, std::span<const std::uint8_t> payload,
                      std::vector<std::uint8_t>& replyData, std::chrono::milliseconds timeout) {
  replyData.clear();
  if (!line.isOpen()) return kErrNotOpen;
  const Deadline operation = line.operationDeadline();
  // An exchange that cannot finish in the operation's time is not begun.
  if (operation.passed()) return kErrTimeout;
  const std::uint8_t sequence = line.nextSequence();
  const std::vector<std::uint8_t> request =
      encodeFrame(sequence, static_cast<std::uint8_t>(command), payload);
  if (request.empty()) return kErrArgument;

  // Whatever is waiting now (a reply that came too late, line noise) answers no request of ours.
  line.discardInput();
  const SerialLine::IoResult written =
      line.writeAll(request, Deadline::after(kReplyTimeout).sooner(operation));
  if (written != SerialLine::IoResult::Ok) return lineFailure(written);

  const Deadline deadline = Deadline::after(timeout).sooner(operation);
  std::vector<std::uint8_t> received;
  for (;;) {
    const SerialLine::IoResult read = line.readSome(received, deadline);
    if (read == SerialLine::IoResult::Timeout && !received.empty()) {
      line.discardInput();
      return kErrFrame;  // a reply began but never ended
    }
    if (read != SerialLine::IoResult::Ok) return lineFailure(read);

    const DecodeResult decoded = decodeFrame(received);
    if (decoded.status == DecodeStatus::NeedMore) continue;
    if (decoded.status != DecodeStatus::Complete) {
      line.discardInput();
      return kErrFrame;
    }
    const std::int32_t result = checkReply(decoded.frame, sequence, command, replyData);
    if (result == kErrFrame) line.discardInput();
    return result;
  }
}

}  // namespace keycard::link
