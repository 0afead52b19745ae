#include "emulator/pcsc/VpcdCard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "emulator/ExitCodes.h"
#include "emulator/StopSignals.h"
#include "emulator/TrafficLog.h"
#include "emulator/card/CardFile.h"
#include "emulator/pcsc/ContactlessReader.h"
#include "emulator/pcsc/VpcdMessages.h"

namespace keycard::emulator {

namespace {

using namespace std::chrono_literals;

// How often the card file is looked at: a card laid on or taken off is noticed this soon (and
// pcscd notices the connection's change at its next presence poll, some 400 ms at most).
constexpr auto kCardPoll = 50ms;
// Tear on the contactless reader: the card leaves right after its first block write (the fault's
// --fault-from picks a later one).
constexpr int kVpcdWritesBeforeTear = 1;

std::string_view controlName(std::uint8_t control) {
  switch (static_cast<VpcdControl>(control)) {
    case VpcdControl::PowerOff:
      return "power off";
    case VpcdControl::PowerOn:
      return "power on";
    case VpcdControl::Reset:
      return "reset";
    case VpcdControl::AnswerToReset:
      return "answer to reset";
  }
  return "unknown control";
}

bool wroteBlock(std::span<const std::uint8_t> command, std::span<const std::uint8_t> response) {
  return command.size() > 1 && command[1] == apdu::kUpdateBinary && response.size() == 2 &&
         response[0] == 0x90 && response[1] == 0x00;
}

// The TCP connection to vpcd. While it is open the card lies on the virtual reader.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { close(); }

  // Empty on success, else the reason.
  std::string open(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return std::strerror(errno);
    // The answers are small: send each at once.
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      std::string reason = std::strerror(errno);
      close();
      return reason;
    }
    return {};
  }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // False when vpcd is gone.
  bool send(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) return false;
      bytes = bytes.subspan(static_cast<std::size_t>(sent));
    }
    return true;
  }

  // Appends what has arrived. False when vpcd closed the connection or it failed.
  bool receive(Bytes& input) {
    std::uint8_t chunk[1024];
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    // vpcd's next small message waits (Nagle) until this one is acknowledged: acknowledge at once,
    // not after the usual 40 ms (0.12 ms an APDU instead of 48). The kernel drops back to delayed
    // acknowledgements on its own, so this is renewed at every read.
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    if (got > 0) {
      input.insert(input.end(), chunk, chunk + got);
      return true;
    }
    return got < 0 && (errno == EINTR || errno == EAGAIN);
  }

 private:
  int fd_ = -1;
};

class VpcdSession {
 public:
  VpcdSession(const ServeOptions& options, TrafficLog& log, const StopSignals& signals)
      : options_(options),
        log_(log),
        signals_(signals),
        cardFile_(options.card),
        reader_(options.card, std::cerr, options.readerFamily) {}

  int run() {
    // With no card the reader can see there is nothing to wait for.
    if (followCardFile() == Lay::NoCard) announceReady();
    while (!StopSignals::stopRequested()) {
      followCardFile();
      bool readable = false;
      if (!signals_.wait(connection_.fd(), POLLIN, kCardPoll, &readable)) break;
      if (!readable) continue;
      if (!connection_.receive(input_)) {
        warnOnce("the virtual reader on 127.0.0.1:" + std::to_string(options_.vpcdPort) +
                 " closed the connection (pcscd stopped?); the card waits for it");
        takeCardOff("the virtual reader closed the connection");
        continue;
      }
      while (connection_.isOpen()) {
        auto message = takeVpcdMessage(input_);
        if (!message) break;
        handle(*message);
      }
    }
    return kExitOk;
  }

 private:
  enum class Lay { NoCard, Unreachable, OnReader };

  // The card is on the reader while its file exists.
  Lay followCardFile() {
    const bool there = std::filesystem::exists(options_.card);
    if (connection_.isOpen() && !there && !leaving_) leave("the card is leaving the reader");
    if (connection_.isOpen()) return Lay::OnReader;
    return there ? layCardOn() : Lay::NoCard;
  }

  // A card taken out of the field: the reader answers what is in flight with 63 00 (its chip got
  // no answer) and pcscd learns at its next look for the card that it has gone. Dropping the
  // connection at once would leave vpcd to read its end as an empty answer, which pcscd hands on
  // as a successful transmission of no bytes.
  void leave(std::string_view why) {
    leaving_ = true;
    log_.line("--", {}, why);
  }

  Lay layCardOn() {
    const CardFile::Reading& reading = cardFile_.look();
    if (!reading.problem.empty()) warnOnce(reading.problem + " (no card on the reader)");
    const std::optional<Card>& card = reading.card;
    if (!card) return Lay::NoCard;  // not a card, or gone again since the look
    atr_ = answerToReset(card->type);
    if (atr_.empty()) {
      warnOnce(options_.card.string() + " holds a " + std::string(cardTypeName(card->type)) +
               " card, which a 13.56 MHz reader cannot see (no card on the reader)");
      return Lay::NoCard;
    }
    const std::string failure = connection_.open(options_.vpcdPort);
    if (!failure.empty()) {
      warnOnce("cannot reach the virtual reader on 127.0.0.1:" + std::to_string(options_.vpcdPort) +
               ": " + failure +
               " (is pcscd running with the vpcd reader on that port?); trying again");
      return Lay::Unreachable;
    }
    input_.clear();
    poweredOn_ = false;
    atrAfterPowerOn_ = false;
    leaving_ = false;
    reader_.resetCard();
    log_.line("--", {}, "card on the reader");
    return Lay::OnReader;
  }

  void takeCardOff(std::string_view why) {
    connection_.close();
    input_.clear();
    reader_.resetCard();
    log_.line("--", {}, why);
  }

  void handle(const Bytes& message) {
    // pcscd's event thread powers a new card, reads its ATR and only then shows the card to
    // clients; its next message (the next presence poll, some 400 ms on) comes once that is done.
    if (atrAfterPowerOn_ && !announced_) announceReady();
    if (message.size() == 1) {
      control(message[0]);
    } else if (!message.empty()) {
      answerCommand(message);
    }
  }

  void control(std::uint8_t control) {
    if (static_cast<VpcdControl>(control) == VpcdControl::AnswerToReset) {
      // pcscd asks for it every few hundred ms to see whether the card is still there: not logged.
      if (leaving_) {
        takeCardOff("the card left the reader");
        return;
      }
      send(atr_);
      if (poweredOn_) atrAfterPowerOn_ = true;
      return;
    }
    log_.line("<-", std::span(&control, 1), controlName(control));
    if (static_cast<VpcdControl>(control) == VpcdControl::PowerOn) {
      poweredOn_ = true;
      lastWarning_.clear();  // pcscd uses the card: trouble from now on is news again
    }
    reader_.resetCard();
  }

  void answerCommand(const Bytes& command) {
    log_.line("<-", command, instructionName(command));
    const Fault fault = faults_.next();
    if (fault == Fault::Late && !signals_.wait(-1, 0, kLateDelay)) return;
    const Bytes response = leaving_ ? Bytes{0x63, 0x00} : reader_.answer(command);
    log_.line("->", response, statusWordName(response));
    if (!send(response)) return;
    if ((fault == Fault::Tear || fault == Fault::Swap) && wroteBlock(command, response) &&
        faults_.cardChangesAfterWrite()) {
      if (fault == Fault::Tear) {
        tear();
      } else {
        // Another card where this one lay, and no removal for pcscd to see.
        swapCard(options_.card);
        reader_.resetCard();
      }
    }
  }

  bool send(std::span<const std::uint8_t> payload) {
    if (connection_.send(vpcdMessage(payload))) return true;
    takeCardOff("cannot answer: the virtual reader is gone");
    return false;
  }

  // The card leaves the field with its file: renamed, so the written blocks stay to be seen.
  void tear() {
    takeCardAway(options_.card);
    leave("the card is leaving the reader (--fault tear)");
  }

  void announceReady() {
    std::cout << "ready" << std::endl;
    announced_ = true;
  }

  // The card file is looked at every 50 ms: the same trouble is told once, not 20 times a second.
  void warnOnce(const std::string& warning) {
    if (warning == lastWarning_) return;
    std::cerr << "keycard-emulator: " << warning << '\n';
    lastWarning_ = warning;
  }

  const ServeOptions& options_;
  TrafficLog& log_;
  const StopSignals& signals_;
  CardFile cardFile_;  // the card file as the reader sees it while no card lies on it
  ContactlessReader reader_;
  Connection connection_;
  Bytes input_;
  Bytes atr_;
  bool poweredOn_ = false;  // since the card was laid on
  bool atrAfterPowerOn_ = false;
  bool leaving_ = false;  // taken off, until pcscd looks for it again
  bool announced_ = false;
  std::string lastWarning_;
  FaultSchedule faults_{options_.fault, options_.faultFrom, kVpcdWritesBeforeTear};
};

}  // namespace

int serveVpcd(const ServeOptions& options, TrafficLog& log, const StopSignals& signals) {
  VpcdSession session(options, log, signals);
  return session.run();
}

}  // namespace keycard::emulator
