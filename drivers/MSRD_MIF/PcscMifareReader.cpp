#include "drivers/MSRD_MIF/PcscMifareReader.h"

#include <reader.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "drivers/MSRD_MIF/StorageCardAtr.h"
#include "link/Errors.h"

namespace keycard::drivers {

namespace {

using namespace std::chrono_literals;

// pcscd looks for cards every few hundred milliseconds, so a card laid down just before the
// click may not be known yet.
constexpr auto kCardWait = 500ms;
// The reader answers a beep only after its last one.
constexpr std::uint8_t kMostBeeps = 3;
constexpr std::uint8_t kKeySlot = 0x00;  // volatile
constexpr std::uint8_t kKeyA = 0x60;
constexpr std::uint16_t kSuccess = 0x9000;
// The CCID driver's escape to the reader itself; it passes it on only where its options allow
// (ifdDriverOptions bit 0).
constexpr DWORD kEscapeCommand = SCARD_CTL_CODE(1);

// A reply to a card command holds at most a block and the status word.
constexpr std::size_t kLongestReply = 258;

std::string hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", byte);
    text += digits;
  }
  return text;
}

bool cardIn(DWORD state) {
  return (state & SCARD_STATE_PRESENT) != 0 && (state & SCARD_STATE_MUTE) == 0;
}

}  // namespace

PcscMifareReader::~PcscMifareReader() {
  releaseCard();
  if (hasContext_) pcsc_->releaseContext(context_);
}

void PcscMifareReader::beginOperation(const char* caller, Clock::time_point deadline) {
  caller_ = caller;
  deadline_ = deadline;
}

void PcscMifareReader::say(const std::string& text) const {
  std::fprintf(stderr, "%s: %s\n", caller_, text.c_str());
}

DWORD PcscMifareReader::millisecondsLeft(std::chrono::milliseconds atMost) const {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
  return static_cast<DWORD>(std::clamp(left, 0ms, atMost).count());
}

std::int32_t PcscMifareReader::failed(LONG result, const char* call) {
  const std::string what = std::string(call) + ": " + pcsc_->describe(result);
  switch (result) {
    case SCARD_E_NO_SMARTCARD:
    case SCARD_W_REMOVED_CARD:
    case SCARD_W_RESET_CARD:
    case SCARD_W_UNPOWERED_CARD:
    case SCARD_W_UNRESPONSIVE_CARD:
      return link::kErrNoCard;
    case SCARD_E_NO_SERVICE:
    case SCARD_E_SERVICE_STOPPED:
    case SCARD_F_COMM_ERROR:
      say("pcscd is not running or stopped (" + what + "); start it with: systemctl start pcscd");
      return link::kErrPort;
    case SCARD_E_UNKNOWN_READER:
    case SCARD_E_READER_UNAVAILABLE:
    case SCARD_E_NO_READERS_AVAILABLE:
      say("the PC/SC reader \"" + readerName_ + "\" is gone (" + what +
          "); plug it in and open it again");
      return link::kErrPort;
    case SCARD_E_NO_ACCESS:
      // Also what a client gets while pcscd is going away, so it is a port error, not the reader's.
      say("pcscd refused access (" + what + "); is it stopping, or may this user not use it?");
      return link::kErrPort;
    case SCARD_E_SHARING_VIOLATION:
      say("another program is using \"" + readerName_ + "\" (" + what + ")");
      return link::kErrPort;
    case SCARD_E_NO_MEMORY:
      return link::kErrNoMemory;
    default:
      // A reader that cannot reach the card any more often says only that the command failed.
      if (connected_ && cardWentAway()) return link::kErrNoCard;
      say(what);
      return link::kErrReader;
  }
}

std::int32_t PcscMifareReader::open(const std::string& nameContains) {
  std::string whyNot;
  if (pcsc_ == nullptr) pcsc_ = loadPcscLibrary(whyNot);
  if (pcsc_ == nullptr) {
    say("cannot load the PC/SC library (install pcscd and libpcsclite1): " + whyNot);
    return link::kErrPort;
  }
  LONG result = pcsc_->establishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_);
  if (result != SCARD_S_SUCCESS) return failed(result, "SCardEstablishContext");
  hasContext_ = true;

  std::string names;
  for (int attempt = 0; attempt < 3; ++attempt) {  // a reader plugged in between the two calls
    DWORD size = 0;
    result = pcsc_->listReaders(context_, nullptr, nullptr, &size);
    if (result != SCARD_S_SUCCESS) break;
    names.assign(size, '\0');
    result = pcsc_->listReaders(context_, nullptr, names.data(), &size);
    if (result != SCARD_E_INSUFFICIENT_BUFFER) break;
  }
  if (result == SCARD_E_NO_READERS_AVAILABLE) {
    say("no PC/SC reader is attached (check it with pcsc_scan)");
    return link::kErrPort;
  }
  if (result != SCARD_S_SUCCESS) return failed(result, "SCardListReaders");

  std::string seen;
  for (std::size_t at = 0; at < names.size() && names[at] != '\0';) {
    const std::string name = names.c_str() + at;
    if (name.find(nameContains) != std::string::npos) {
      readerName_ = name;
      return 0;
    }
    seen += (seen.empty() ? "\"" : ", \"") + name + "\"";
    at += name.size() + 1;
  }
  say("no PC/SC reader's name contains \"" + nameContains + "\"; the readers are " + seen);
  return link::kErrPort;
}

std::int32_t PcscMifareReader::waitForCard() {
  SCARD_READERSTATE state{};
  state.szReader = readerName_.c_str();
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  LONG result = pcsc_->getStatusChange(context_, 0, &state, 1);
  if (result == SCARD_S_SUCCESS && !cardIn(state.dwEventState) &&
      (state.dwEventState & (SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE)) == 0) {
    state.dwCurrentState = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
    result = pcsc_->getStatusChange(context_, millisecondsLeft(kCardWait), &state, 1);
    if (result == SCARD_E_TIMEOUT) return link::kErrNoCard;
  }
  if (result != SCARD_S_SUCCESS) return failed(result, "SCardGetStatusChange");
  if ((state.dwEventState & SCARD_STATE_UNKNOWN) != 0)
    return failed(SCARD_E_UNKNOWN_READER, "SCardGetStatusChange");
  return cardIn(state.dwEventState) ? 0 : link::kErrNoCard;
}

bool PcscMifareReader::cardWentAway(bool wait) {
  SCARD_READERSTATE state{};
  state.szReader = readerName_.c_str();
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  if (pcsc_->getStatusChange(context_, 0, &state, 1) != SCARD_S_SUCCESS) return false;
  if (!cardIn(state.dwEventState)) return true;
  if (!wait) return false;
  // pcscd may not have looked since: give it the time it takes to look once.
  state.dwCurrentState = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
  return pcsc_->getStatusChange(context_, millisecondsLeft(kCardWait), &state, 1) ==
             SCARD_S_SUCCESS &&
         !cardIn(state.dwEventState);
}

std::int32_t PcscMifareReader::connectCard() {
  if (connected_) return 0;
  std::int32_t result = waitForCard();
  if (result != 0) return result;
  if (Clock::now() >= deadline_) return link::kErrTimeout;
  const LONG connected = pcsc_->connect(context_, readerName_.c_str(), SCARD_SHARE_EXCLUSIVE,
                                        SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_, &protocol_);
  if (connected != SCARD_S_SUCCESS) return failed(connected, "SCardConnect");
  connected_ = true;
  return 0;
}

void PcscMifareReader::releaseCard() {
  // Not reset otherwise: pcscd, asked to reset a card that has just left, may go on showing the
  // reader empty when the next card arrives.
  if (connected_) pcsc_->disconnect(card_, resetOnRelease_ ? SCARD_RESET_CARD : SCARD_LEAVE_CARD);
  connected_ = false;
  resetOnRelease_ = false;
  keyLoaded_ = false;
}

std::int32_t PcscMifareReader::selectCard(SelectedCard& card) {
  std::int32_t result = connectCard();
  if (result != 0) return result;
  // Asked every time, so that a card taken away since the last command is noticed here.
  std::array<std::uint8_t, MAX_ATR_SIZE> atr{};
  DWORD atrLength = atr.size();
  DWORD state = 0;
  DWORD protocol = 0;
  DWORD nameLength = 0;
  const LONG status =
      pcsc_->status(card_, nullptr, &nameLength, &state, &protocol, atr.data(), &atrLength);
  if (status != SCARD_S_SUCCESS) return failed(status, "SCardStatus");
  const std::span<const std::uint8_t> answer(atr.data(),
                                             std::min<std::size_t>(atrLength, atr.size()));
  const bool isClassic1K = storageCardOf(answer) == kMifareClassic1K;
  if (!isClassic1K) say("the card is not a Mifare Classic 1K (its ATR: " + hex(answer) + ")");
  // The UID, so that a write is seen to end on the card it began on: a reader need not report
  // a card taken away and another laid down between two commands.
  const std::array<std::uint8_t, 5> getUid = {0xFF, 0xCA, 0x00, 0x00, 0x00};
  std::vector<std::uint8_t> uid;
  std::uint16_t statusWord = 0;
  result = transmit(getUid, uid, statusWord);
  if (result != 0) return result;
  if (statusWord != kSuccess) return refused("to tell the card's UID", statusWord);
  card.isClassic1K = isClassic1K;
  card.uid = std::move(uid);
  return 0;
}

std::int32_t PcscMifareReader::transmit(std::span<const std::uint8_t> command,
                                        std::vector<std::uint8_t>& data, std::uint16_t& status) {
  if (Clock::now() >= deadline_) return link::kErrTimeout;
  const SCARD_IO_REQUEST sendPci{protocol_, sizeof(SCARD_IO_REQUEST)};
  std::array<std::uint8_t, kLongestReply> reply{};
  DWORD length = reply.size();
  const LONG result = pcsc_->transmit(card_, &sendPci, command.data(), command.size(), nullptr,
                                      reply.data(), &length);
  if (result != SCARD_S_SUCCESS) return failed(result, "SCardTransmit");
  if (length < 2 || length > reply.size()) {
    say("the reader's reply to " + hex(command.first(2)) + " has no status word");
    return link::kErrFrame;
  }
  status = static_cast<std::uint16_t>(reply[length - 2] << 8 | reply[length - 1]);
  data.assign(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(length - 2));
  return 0;
}

std::int32_t PcscMifareReader::refused(const char* what, std::uint16_t status) {
  if (cardWentAway()) return link::kErrNoCard;
  resetOnRelease_ = true;
  char word[8];
  std::snprintf(word, sizeof word, "%02X %02X", status >> 8, status & 0xFF);
  say(std::string("the reader refused ") + what + " (status word " + word + ")");
  return link::kErrReader;
}

std::int32_t PcscMifareReader::authenticateKeyA(std::uint8_t block, const MifareKey& key) {
  std::vector<std::uint8_t> data;
  std::uint16_t status = 0;
  if (!keyLoaded_ || loadedKey_ != key) {
    std::array<std::uint8_t, 5 + std::tuple_size_v<MifareKey>> loadKey = {0xFF, 0x82, 0x00,
                                                                          kKeySlot, 0x06};
    std::copy(key.begin(), key.end(), loadKey.begin() + 5);
    const std::int32_t result = transmit(loadKey, data, status);
    if (result != 0) return result;
    if (status != kSuccess) return refused("to load the key", status);
    keyLoaded_ = true;
    loadedKey_ = key;
  }
  const std::array<std::uint8_t, 10> authenticate = {0xFF, 0x86, 0x00,  0x00,  0x05,
                                                     0x01, 0x00, block, kKeyA, kKeySlot};
  const std::int32_t result = transmit(authenticate, data, status);
  if (result != 0) return result;
  switch (status) {
    case kSuccess:
      return 0;
    case 0x6300:  // no more said: the key does not open the sector, or the card has gone
    case 0x6982:  // security status not satisfied
    case 0x6983:  // authentication blocked
      // Only what pcscd already knows: waiting would slow down every refused key.
      if (cardWentAway(false)) return link::kErrNoCard;
      resetOnRelease_ = true;
      return link::kErrAuth;
    default:
      return refused("the authentication", status);
  }
}

std::int32_t PcscMifareReader::readBlock(std::uint8_t block, link::MifareBlock& data) {
  const std::array<std::uint8_t, 5> read = {0xFF, 0xB0, 0x00, block,
                                            static_cast<std::uint8_t>(data.size())};
  std::vector<std::uint8_t> reply;
  std::uint16_t status = 0;
  const std::int32_t result = transmit(read, reply, status);
  if (result != 0) return result;
  if (status != kSuccess) return refused("to read a block", status);
  if (reply.size() != data.size()) {
    say("the reader answered a block read with " + std::to_string(reply.size()) + " bytes, not " +
        std::to_string(data.size()));
    return link::kErrFrame;
  }
  std::copy(reply.begin(), reply.end(), data.begin());
  return 0;
}

std::int32_t PcscMifareReader::writeBlock(std::uint8_t block, const link::MifareBlock& data) {
  std::array<std::uint8_t, 5 + std::tuple_size_v<link::MifareBlock>> update = {
      0xFF, 0xD6, 0x00, block, static_cast<std::uint8_t>(data.size())};
  std::copy(data.begin(), data.end(), update.begin() + 5);
  std::vector<std::uint8_t> reply;
  std::uint16_t status = 0;
  const std::int32_t result = transmit(update, reply, status);
  if (result != 0) return result;
  return status == kSuccess ? 0 : refused("to write a block", status);
}

std::int32_t PcscMifareReader::beep(std::uint8_t value) {
  if (value == 0) return 0;
  // LEDs left as they are; buzzer on for the first 100 ms of each 200 ms repetition.
  const std::array<std::uint8_t, 9> buzz = {
      0xFF, 0x00, 0x40, 0x00, 0x04, 0x01, 0x01, std::min(value, kMostBeeps), 0x01};
  SCARD_READERSTATE state{};
  state.szReader = readerName_.c_str();
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  LONG result = pcsc_->getStatusChange(context_, 0, &state, 1);
  if (result != SCARD_S_SUCCESS) return failed(result, "SCardGetStatusChange");
  if (cardIn(state.dwEventState)) {
    // The card's connection carries the reader's own commands too.
    std::int32_t sent = connectCard();
    std::vector<std::uint8_t> reply;
    std::uint16_t status = 0;
    if (sent == 0) sent = transmit(buzz, reply, status);
    releaseCard();
    return sent != 0 ? sent : (status >> 8) == 0x90 ? 0 : link::kErrReader;
  }
  // Without a card the reader takes it only as an escape command, where its driver allows one.
  SCARDHANDLE direct = 0;
  DWORD protocol = 0;
  result = pcsc_->connect(context_, readerName_.c_str(), SCARD_SHARE_DIRECT, 0, &direct, &protocol);
  if (result != SCARD_S_SUCCESS) return link::kErrReader;
  std::array<std::uint8_t, kLongestReply> reply{};
  DWORD length = 0;
  result = pcsc_->control(direct, kEscapeCommand, buzz.data(), buzz.size(), reply.data(),
                          reply.size(), &length);
  pcsc_->disconnect(direct, SCARD_LEAVE_CARD);
  return result == SCARD_S_SUCCESS ? 0 : link::kErrReader;
}

}  // namespace keycard::drivers
