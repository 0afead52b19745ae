#include "emulator/Server.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "emulator/CardFile.h"
#include "emulator/PortLink.h"
#include "emulator/PortLock.h"
#include "emulator/PseudoTerminal.h"
#include "emulator/RequestFinder.h"
#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"
#include "link/Frame.h"

namespace keycard::emulator {

namespace {

using namespace std::chrono_literals;

// A request whose rest does not follow within this time is dropped, so a driver that died
// mid-frame does not spoil the next one's first request. At 9600 baud a byte takes ~1 ms.
constexpr auto kPartialFrameTimeout = 100ms;
// A reply nobody reads for this long is dropped rather than blocking the emulator.
constexpr auto kWriteTimeout = 1000ms;
// Closing the master throws away what the client has not read yet, so a hang-up waits (this long
// at most) for the half reply to be read, as it would be on a cable pulled mid-reply.
constexpr auto kHangUpWait = 1000ms;
// Written bytes reach the client's side of the line a moment after write() returns.
constexpr auto kArrivalWait = 50ms;
constexpr auto kHangUpPoll = 2ms;

std::string describeReply(const link::Frame& reply) {
  std::string note(commandName(reply.command));
  note += " reply ";
  note += reply.payload.empty() ? "(no status)" : statusName(reply.payload[0]);
  return note;
}

class Session {
 public:
  Session(const ServeOptions& options, PseudoTerminal& line, TrafficLog& log,
          const StopSignals& signals)
      : options_(options),
        line_(line),
        log_(log),
        signals_(signals),
        reader_(options.kind, options.card, std::cerr) {}

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
      if (!readInto(input)) return kExitFailure;
      if (auto exitCode = answerComplete(input)) return *exitCode;
    }
    return kExitOk;
  }

 private:
  bool readInto(std::vector<std::uint8_t>& input) {
    std::uint8_t chunk[256];
    const ssize_t got = ::read(line_.master(), chunk, sizeof chunk);
    if (got > 0) {
      input.insert(input.end(), chunk, chunk + got);
      return true;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    std::cerr << "keycard-emulator: the pseudo-terminal failed: "
              << (got == 0 ? "end of file" : std::strerror(errno)) << '\n';
    return false;
  }

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
    if (!delivery.bytes.empty()) {
      std::string note = describeReply(reply);
      if (fault != Fault::None && fault != Fault::Tear && fault != Fault::Swap) {
        note += " (as faulted)";
      }
      // Logged before it goes out, so whoever has read the reply finds it in the log.
      log_.line("->", delivery.bytes, note);
    }
    if (!writeAll(delivery.bytes))
      log_.line("!!", delivery.bytes, "dropped: nobody reads the line");
    if (delivery.hangUpAfter) {
      std::cerr << "keycard-emulator: hanging up the line (--fault hangup)\n";
      awaitClientRead();
      line_.hangUp();
      return kExitHungUp;
    }
    return std::nullopt;
  }

  void awaitClientRead() {
    auto waited = 0ms;
    while (line_.unread() == 0 && waited < kArrivalWait && signals_.wait(-1, 0, kHangUpPoll)) {
      waited += kHangUpPoll;
    }
    waited = 0ms;
    while (line_.unread() > 0 && waited < kHangUpWait && signals_.wait(-1, 0, kHangUpPoll)) {
      waited += kHangUpPoll;
    }
  }

  bool writeAll(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      const ssize_t written = ::write(line_.master(), bytes.data(), bytes.size());
      if (written > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(written));
        continue;
      }
      if (written < 0 && errno == EINTR) continue;
      bool writable = false;
      if (written < 0 && errno == EAGAIN &&
          signals_.wait(line_.master(), POLLOUT, kWriteTimeout, &writable) && writable) {
        continue;
      }
      return false;
    }
    return true;
  }

  const ServeOptions& options_;
  PseudoTerminal& line_;
  TrafficLog& log_;
  const StopSignals& signals_;
  Reader reader_;
  StaleReplies staleReplies_;
  FaultSchedule faults_{options_.fault, options_.faultFrom, kWritesBeforeTear};
};

}  // namespace

int serve(const ServeOptions& options, TrafficLog& log, const StopSignals& signals) {
  const std::filesystem::path port = options.portDir / options.port;
  const PortLock lock(port);
  PseudoTerminal line;
  PortLink link(port, line.slavePath(), std::cerr);
  std::cout << "ready" << std::endl;

  Session session(options, line, log, signals);
  const int exitCode = session.run();
  link.remove();
  return exitCode;
}

}  // namespace keycard::emulator
