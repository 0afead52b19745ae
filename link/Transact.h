// One request/response exchange with the reader: the layer between the serial line and the
// reader's commands.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "link/Errors.h"
#include "link/Protocol.h"
#include "link/SerialLine.h"

namespace keycard::link {

// The error code for a reply status; 0 for Status::Ok, kErrFrame for a status no reader sends.
std::int32_t errorForStatus(std::uint8_t status);

// Sends `command` with `payload` under the line's next sequence number and waits up to `timeout`
// after the request is written, and never past the line's operation deadline, for the reply
// carrying that number. Returns 0 when the reader answered Ok, with the reply's data after the
// status byte in `replyData`; otherwise a negative ErrorCode. Any bad or incomplete reply, and
// a reply to another request, flushes the input.
std::int32_t transact(SerialLine& line, Command command, std::span<const std::uint8_t> payload,
                      std::vector<std::uint8_t>& replyData,
                      std::chrono::milliseconds timeout = kReplyTimeout);

}  // namespace keycard::link
