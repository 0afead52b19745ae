#include "emulator/pn532/Serve.h"

#include <poll.h>

#include <chrono>
#include <iostream>
#include <utility>

#include "emulator/ExitCodes.h"
#include "emulator/Faults.h"
#include "emulator/pn532/Board.h"
#include "emulator/serial/LineIo.h"
#include "emulator/serial/PortSession.h"
#include "emulator/serial/PseudoTerminal.h"

namespace keycard::emulator::pn532 {

namespace {

using namespace std::chrono_literals;

// Ten bits a byte at 115200 baud.
constexpr std::chrono::nanoseconds kByteTime{86'806};
// Bytes that do not make a frame within this time are dropped: a client that died mid-frame
// must not spoil the next one's first frame.
constexpr auto kPartialFrameTimeout = 100ms;
// Serial clients such as libnfc mark a port they hold with this bit in c_iflag and refuse a port
// that has it. One killed mid-run leaves it set on the line, which outlives the client here, so a
// line quiet this long has it cleared: the mark can only belong to a client that is gone, or to
// one that waits for nothing from this board.
constexpr unsigned long kClaimedFlag = 0x80000000;
constexpr auto kClaimIdle = 500ms;

std::chrono::nanoseconds onTheWire(std::size_t bytes) {
  return kByteTime * static_cast<std::int64_t>(bytes);
}

class Session : LineSession {
 public:
  Session(const ServeOptions& options, PseudoTerminal& line, TrafficLog& log,
          const StopSignals& signals)
      : LineSession(options, line, log, signals), board_(options.card, std::cerr) {}

  int run() {
    Bytes input;
    while (!StopSignals::stopRequested()) {
      bool readable = false;
      if (!signals_.wait(line_.master(), POLLIN, input.empty() ? kClaimIdle : kPartialFrameTimeout,
                         &readable)) {
        break;
      }
      if (!readable) {
        if (!input.empty()) log_.line("!!", input, "discarded: no frame");
        input.clear();
        if (line_.clearInputFlags(kClaimedFlag)) {
          std::cerr << "keycard-emulator: cleared the claim mark a client left on the line\n";
        }
        continue;
      }
      if (!readInto(line_, input)) return kExitFailure;
      for (Exchange& exchange : board_.take(input)) {
        if (auto exitCode = handle(exchange)) return *exitCode;
      }
    }
    return kExitOk;
  }

 private:
  std::optional<int> handle(Exchange& exchange) {
    const bool sound = exchange.command || !exchange.answer.empty() || exchange.note == "wake-up";
    log_.line(sound ? "<-" : "!!", exchange.request, exchange.note);
    if (!exchange.command) {
      if (!exchange.answer.empty()) send(exchange.answer, exchange.answerNote, 0ms);
      return std::nullopt;
    }
    const Fault fault = faults_.next();
    if (fault == Fault::Silent) return std::nullopt;
    // The answer is timed from when the ACK was due, not from when it went out, so the time the
    // system takes to wake this process is not charged twice an exchange.
    const auto ackDue =
        std::chrono::steady_clock::now() +
        (options_.wireDelay ? onTheWire(exchange.request.size() + exchange.ack.size()) : 0ns);
    if (!send(exchange.ack, "ACK", ackDue - std::chrono::steady_clock::now())) return kExitOk;
    if ((fault == Fault::Tear || fault == Fault::Swap) && exchange.wroteBlock &&
        faults_.cardChangesAfterWrite()) {
      if (fault == Fault::Tear) {
        takeCardAway(options_.card);
      } else {
        swapCard(options_.card);
      }
    }

    Bytes answer = std::move(exchange.answer);
    if (fault == Fault::Stale && !previousAnswer_.empty()) std::swap(answer, previousAnswer_);
    previousAnswer_ = fault == Fault::Stale ? previousAnswer_ : answer;
    if (fault == Fault::Corrupt) answer[answer.size() - 2] ^= 0xFF;  // the DCS
    const Delivery delivery =
        shapeReply(fault == Fault::Corrupt ? Fault::None : fault, std::move(answer));
    const auto wire = options_.wireDelay ? onTheWire(delivery.bytes.size()) : 0ns;
    if (!send(delivery.bytes, faultedNote(exchange.answerNote, fault),
              ackDue + delivery.delay + wire - std::chrono::steady_clock::now())) {
      return kExitOk;
    }
    if (delivery.hangUpAfter) return hangUp();
    return std::nullopt;
  }

  // False when a stop came during the delay.
  bool send(std::span<const std::uint8_t> bytes, std::string_view note,
            std::chrono::nanoseconds delay) {
    if (delay > 0ns &&
        !signals_.wait(-1, 0, std::chrono::duration_cast<std::chrono::microseconds>(delay))) {
      return false;
    }
    put(bytes, note);
    return true;
  }

  Board board_;
  Bytes previousAnswer_;  // what the stale fault sends instead of the answer
  FaultSchedule faults_{options_.fault, options_.faultFrom, kWritesBeforeTear};
};

}  // namespace

int serve(const ServeOptions& options, TrafficLog& log, const StopSignals& signals) {
  return serveOnPort<Session>(options, log, signals);
}

}  // namespace keycard::emulator::pn532
