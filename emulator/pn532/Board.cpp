#include "emulator/pn532/Board.h"

#include <algorithm>
#include <array>

#include "link/Pn532Frame.h"

namespace keycard::emulator::pn532 {

namespace {

namespace frame = link::pn532;

enum Command : std::uint8_t {
  kDiagnose = 0x00,
  kGetFirmwareVersion = 0x02,
  kGetGeneralStatus = 0x04,
  kReadRegister = 0x06,
  kWriteRegister = 0x08,
  kSetParameters = 0x12,
  kSamConfiguration = 0x14,
  kPowerDown = 0x16,
  kRfConfiguration = 0x32,
  kInDataExchange = 0x40,
  kInCommunicateThru = 0x42,
  kInDeselect = 0x44,
  kInListPassiveTarget = 0x4A,
  kInRelease = 0x52,
};

// IC, version, revision, supported protocols: a PN532 v1.6.
constexpr std::array<std::uint8_t, 4> kFirmwareVersion = {0x32, 0x01, 0x06, 0x07};
constexpr std::array<std::uint8_t, 2> kWakeUp = {0x55, 0x55};
constexpr std::uint8_t kSamNormalMode = 0x01;
constexpr std::uint8_t kRfFieldItem = 0x01;
constexpr std::uint8_t kTypeA106 = 0x00;

Bytes bytesOf(std::span<const std::uint8_t> bytes) {
  return {bytes.begin(), bytes.end()};
}

// Bytes that get nothing back.
Exchange unanswered(Bytes request, std::string note) {
  Exchange exchange;
  exchange.request = std::move(request);
  exchange.note = std::move(note);
  return exchange;
}

}  // namespace

std::string_view commandName(std::uint8_t command) {
  switch (command) {
    case kDiagnose:
      return "Diagnose";
    case kGetFirmwareVersion:
      return "GetFirmwareVersion";
    case kGetGeneralStatus:
      return "GetGeneralStatus";
    case kReadRegister:
      return "ReadRegister";
    case kWriteRegister:
      return "WriteRegister";
    case kSetParameters:
      return "SetParameters";
    case kSamConfiguration:
      return "SAMConfiguration";
    case kPowerDown:
      return "PowerDown";
    case kRfConfiguration:
      return "RFConfiguration";
    case kInDataExchange:
      return "InDataExchange";
    case kInCommunicateThru:
      return "InCommunicateThru";
    case kInDeselect:
      return "InDeselect";
    case kInListPassiveTarget:
      return "InListPassiveTarget";
    case kInRelease:
      return "InRelease";
    default:
      return "unknown command";
  }
}

Board::Board(std::filesystem::path cardFile, std::ostream& warnings)
    : field_(std::move(cardFile), warnings) {}

std::vector<Exchange> Board::take(Bytes& input) {
  std::vector<Exchange> done;
  while (!input.empty()) {
    if (state_ == State::Asleep) {
      auto woken = wakeUp(input);
      if (!woken) break;
      done.push_back(std::move(*woken));
      continue;
    }
    Bytes body;
    std::size_t consumed = 0;
    const frame::Parse parse = frame::parseFrame(input, body, consumed);
    if (parse == frame::Parse::Incomplete) break;
    Bytes request(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(consumed));
    input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(consumed));
    Exchange exchange;
    switch (parse) {
      case frame::Parse::Information:
        if (body[0] != frame::kHostToBoard) {
          exchange = unanswered(std::move(request), "discarded: a frame from a board");
        } else if (state_ == State::WaitsSam && body[1] != kSamConfiguration) {
          // Still in low-battery mode: nothing but SAMConfiguration gets through.
          exchange = unanswered(std::move(request), "ignored: SAMConfiguration must come first");
        } else {
          exchange = command(std::move(request), body);
        }
        break;
      case frame::Parse::Nack:
        exchange = unanswered(std::move(request), "NACK: the last answer again");
        exchange.answer = lastAnswer_;
        exchange.answerNote = "answer sent again";
        break;
      case frame::Parse::Ack:
        exchange = unanswered(std::move(request), "ACK: nothing to abort");
        break;
      default:
        exchange = unanswered(std::move(request), "discarded: bad frame");
        break;
    }
    done.push_back(std::move(exchange));
    // PowerDown: what follows its answer is lost until the next wake-up.
    if (state_ == State::Asleep) break;
  }
  return done;
}

std::optional<Exchange> Board::wakeUp(Bytes& input) {
  const auto found = std::search(input.begin(), input.end(), kWakeUp.begin(), kWakeUp.end());
  if (found == input.end()) return std::nullopt;  // the noise goes with the partial-frame timeout
  const auto end = found + kWakeUp.size();
  Exchange exchange = unanswered(Bytes(input.begin(), end), "wake-up");
  input.erase(input.begin(), end);
  state_ = lowBattery_ ? State::WaitsSam : State::Awake;
  return exchange;
}

Exchange Board::command(Bytes request, const Bytes& body) {
  const std::uint8_t code = body[1];
  Exchange exchange = unanswered(std::move(request), std::string(commandName(code)));
  exchange.command = true;
  exchange.ack = bytesOf(frame::kAck);
  const int writesBefore = field_.writes();
  const std::optional<Bytes> data = answer(code, std::span(body).subspan(2));
  exchange.wroteBlock = field_.writes() != writesBefore;
  if (data) {
    Bytes out = {frame::kBoardToHost, static_cast<std::uint8_t>(code + 1)};
    out.insert(out.end(), data->begin(), data->end());
    exchange.answer = frame::encodeFrame(out);
    exchange.answerNote = exchange.note + " answer";
    if ((code == kInDataExchange || code == kInCommunicateThru) && !data->empty()) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      exchange.answerNote += " status ";
      exchange.answerNote += kHex[(*data)[0] >> 4];
      exchange.answerNote += kHex[(*data)[0] & 0xF];
    }
  } else {
    exchange.answer = bytesOf(frame::kErrorFrame);
    exchange.answerNote = "error frame";
  }
  lastAnswer_ = exchange.answer;
  return exchange;
}

std::optional<Bytes> Board::answer(std::uint8_t code, std::span<const std::uint8_t> data) {
  switch (code) {
    case kDiagnose:
      return diagnose(data);
    case kGetFirmwareVersion:
      if (!data.empty()) return std::nullopt;
      return bytesOf(kFirmwareVersion);
    case kGetGeneralStatus: {
      if (!data.empty()) return std::nullopt;
      const bool target = field_.selectedPresent();
      Bytes status = {0x00, static_cast<std::uint8_t>(fieldOn_), static_cast<std::uint8_t>(target)};
      // Tg, BrRx and BrTx 106 kbps, type A.
      if (target) status.insert(status.end(), {0x01, 0x00, 0x00, 0x10});
      status.push_back(0x00);  // SAM status
      return status;
    }
    case kReadRegister: {
      if (data.empty() || data.size() % 2 != 0) return std::nullopt;
      Bytes values;
      for (std::size_t i = 0; i < data.size(); i += 2) {
        const auto it = registers_.find(static_cast<std::uint16_t>(data[i] << 8 | data[i + 1]));
        values.push_back(it == registers_.end() ? 0x00 : it->second);
      }
      return values;
    }
    case kWriteRegister:
      if (data.empty() || data.size() % 3 != 0) return std::nullopt;
      for (std::size_t i = 0; i < data.size(); i += 3) {
        registers_[static_cast<std::uint16_t>(data[i] << 8 | data[i + 1])] = data[i + 2];
      }
      return Bytes{};
    case kSetParameters:
      if (data.size() != 1) return std::nullopt;
      return Bytes{};
    case kSamConfiguration:
      if (data.empty() || data.size() > 3 || data[0] != kSamNormalMode) return std::nullopt;
      lowBattery_ = false;
      state_ = State::Awake;
      return Bytes{};
    case kPowerDown:
      if (data.empty() || data.size() > 2) return std::nullopt;
      field_.powerOff();
      fieldOn_ = false;
      state_ = State::Asleep;
      return Bytes{0x00};
    case kRfConfiguration:
      if (data.empty()) return std::nullopt;
      if (data[0] == kRfFieldItem && data.size() >= 2) {
        fieldOn_ = (data[1] & 0x01) != 0;
        if (!fieldOn_) field_.powerOff();
      }
      return Bytes{};
    case kInListPassiveTarget:
      return listPassiveTarget(data);
    case kInDataExchange:
      if (data.empty()) return std::nullopt;
      return field_.exchange(data[0], data.subspan(1));
    case kInCommunicateThru:  // nothing to send is a wait for the card, which stays silent
      return field_.communicateThru(data);
    case kInDeselect:
    case kInRelease:
      if (data.size() != 1) return std::nullopt;
      if (data[0] > 1) return Bytes{static_cast<std::uint8_t>(Status::WrongContext)};
      field_.release();
      return Bytes{0x00};
    default:
      return std::nullopt;
  }
}

std::optional<Bytes> Board::diagnose(std::span<const std::uint8_t> data) {
  if (data.empty()) return std::nullopt;
  switch (data[0]) {
    case 0x00:  // communication line test: the data comes back
      return bytesOf(data);
    case 0x01:  // ROM test
    case 0x02:  // RAM test
    case 0x07:  // antenna self test
      return Bytes{0x00};
    case 0x06:  // whether the selected card still answers
      return Bytes{static_cast<std::uint8_t>(field_.selectedPresent() ? 0x00 : 0x01)};
    default:
      return std::nullopt;
  }
}

std::optional<Bytes> Board::listPassiveTarget(std::span<const std::uint8_t> data) {
  if (data.size() < 2 || data[0] < 1 || data[0] > 2) return std::nullopt;
  // The field comes on by itself for a listing.
  fieldOn_ = true;
  if (data[1] != kTypeA106) return Bytes{0x00};  // a Mifare board offers no other modulation
  const std::optional<Bytes> target = field_.list(data.subspan(2));
  if (!target) return Bytes{0x00};
  Bytes listed = {0x01};  // NbTg
  listed.insert(listed.end(), target->begin(), target->end());
  return listed;
}

}  // namespace keycard::emulator::pn532
