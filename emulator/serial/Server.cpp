#include "emulator/serial/Server.h"

#include <poll.h>

#include <iostream>
#include <stdexcept>

#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"
#include "emulator/card/CardFile.h"
#include "emulator/serial/LineIo.h"
#include "emulator/serial/PortSession.h"
#include "emulator/serial/PseudoTerminal.h"
#include "emulator/serial/Reader.h"
#include "emulator/serial/RequestFinder.h"
#include "link/Frame.h"

namespace keycard::emulator {

namespace {

using namespace std::chrono_literals;

// A request whose rest does not follow within this time is dropped, so a driver that died
// mid-frame does not spoil the next one's first request. At 9600 baud a byte takes ~1 ms.
constexpr auto kPartialFrameTimeout = 100ms;

std::string describeReply(const link::Frame& reply) {
  std::string note(commandName(reply.command));
  note += " reply ";
  note += reply.payload.empty() ? "(no status)" : statusName(reply.payload[0]);
  return note;
}

class Session : LineSession {
 public:
  Session(const ServeOptions& options, PseudoTerminal& line, TrafficLog& log,
          const StopSignals& signals)
      : LineSession(options, line, log, signals), reader_(options.kind, options.card, std::cerr) {}

  int run() {
    std::vector<std::uint8_t> input;
    while (!StopSignals::stopRequested()) {
      bool readable = false;
      const auto timeout = input.empty() ? -1ms : kPartialFrameTimeout;
      if (!signals_.wait(line_.master(), POLLIN, timeout, &readable)) break;
      if (!readable) {
        if (!input.empty()) log_.line("!!", input, "discarded: incomplete frame");
        input.clear();
        continue;
      }
      if (!readInto(line_, input)) return kExitFailure;
      if (auto exitCode = answerComplete(input)) return *exitCode;
    }
    return kExitOk;
  }

 private:
  // Answers every whole request in `input`, dropping the noise before each; an exit code when
  // the emulator must end.
  std::optional<int> answerComplete(std::vector<std::uint8_t>& input) {
    while (!input.empty() && !StopSignals::stopRequested()) {
      const FoundRequest found = findRequest(input);
      if (found.noise > 0) {
        // A malformed request is noise too: it gets no answer, and the driver times out.
        log_.line("!!", std::span(input.data(), found.noise), "discarded: noise before a request");
        input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(found.noise));
      }
      const link::DecodeResult& decoded = found.decoded;
      if (decoded.status != link::DecodeStatus::Complete) break;
      const std::span request(input.data(), decoded.consumed);
      log_.line("<-", request, commandName(decoded.frame.command));
      const link::Frame reply = reader_.answer(decoded.frame);
      input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(decoded.consumed));
      const Fault fault = faults_.next();
      if (fault == Fault::Tear || fault == Fault::Swap) changeCardAfterWrites(fault, reply);
      if (auto exitCode = send(reply, decoded.consumed, fault)) return exitCode;
    }
    return std::nullopt;
  }

  void changeCardAfterWrites(Fault fault, const link::Frame& reply) {
    const bool wroteBlock =
        reply.command == (static_cast<std::uint8_t>(link::Command::WriteBlock) | link::kReplyBit) &&
        !reply.payload.empty() && reply.payload[0] == static_cast<std::uint8_t>(link::Status::Ok);
    if (!wroteBlock || !faults_.cardChangesAfterWrite()) return;
    if (fault == Fault::Tear) {
      takeCardAway(options_.card);
    } else {
      swapCard(options_.card);
      reader_.cardReplaced();
    }
  }

  // `requestBytes`: the request's length. A pseudo-terminal hands it over at once, while a reader
  // at 9600 baud would still be receiving it; --wire-delay charges both directions.
  std::optional<int> send(const link::Frame& reply, std::size_t requestBytes, Fault fault) {
    std::vector<std::uint8_t> frame =
        link::encodeFrame(reply.sequence, reply.command, reply.payload);
    // Every reply is remembered, those before --fault-from too, so a stale one may be sound.
    std::vector<std::uint8_t> earlier = staleReplies_.swap(reply.command, frame);
    if (fault == Fault::Stale) frame = std::move(earlier);
    const Delivery delivery = shapeReply(fault, std::move(frame));
    std::chrono::microseconds delay = delivery.delay;
    if (options_.wireDelay) delay += link::kByteTime * (requestBytes + delivery.bytes.size());
    if (delay > 0ms && !signals_.wait(-1, 0, delay)) return kExitOk;
    put(delivery.bytes, faultedNote(describeReply(reply), fault));
    if (delivery.hangUpAfter) return hangUp();
    return std::nullopt;
  }

  Reader reader_;
  StaleReplies staleReplies_;
  FaultSchedule faults_{options_.fault, options_.faultFrom, kWritesBeforeTear};
};

}  // namespace

int serve(const ServeOptions& options, TrafficLog& log, const StopSignals& signals) {
  return serveOnPort<Session>(options, log, signals);
}

}  // namespace keycard::emulator
