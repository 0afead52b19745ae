#include "drivers/MSRD_MIF/PcscMifareReader.h"

#include <reader.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <thread>
#include <utility>

#include "drivers/MSRD_MIF/ClassicCompatible.h"
#include "drivers/MSRD_MIF/PcscReaderPick.h"
#include "drivers/MSRD_MIF/StorageCardAtr.h"
#include "link/Errors.h"
#include "link/StorageCardApdu.h"

namespace keycard::drivers {

namespace {

using namespace std::chrono_literals;
using link::apdu::StatusWord;
namespace apdu = link::apdu;

// pcscd looks for cards every few hundred milliseconds, so a card laid down just before the
// click may not be known yet.
constexpr auto kCardWait = 500ms;
// The reader answers a beep only after its last one.
constexpr std::uint8_t kMostBeeps = 3;
constexpr auto kSuccess = static_cast<std::uint16_t>(StatusWord::Ok);
// Another program holding the card (pcsc_scan, a desktop daemon) usually lets it go within a
// moment: it is asked again this often, and given up on this long before the deadline, so that
// the operation ends with the cause and not with the caller's timeout.
constexpr auto kBusyPause = 50ms;
constexpr auto kBusyMargin = 150ms;

// Readers keep card keys in different places, and name them differently in Load Keys and in
// Authenticate. Tried in this order until the reader takes one.
struct KeyForm {
  std::uint8_t where;   // Load Keys' P1
  std::uint8_t name;    // Load Keys' P2
  std::uint8_t number;  // the key number Authenticate names
};
constexpr std::array<KeyForm, 3> kKeyForms = {{
    {apdu::kVolatileKey, 0x00, 0x00},         // ACS: volatile key 0
    {apdu::kVolatileKey, apdu::kKeyA, 0x01},  // Identiv/SCM: a slot named by its key type
    {apdu::kNonVolatileKey, 0x00, 0x00},      // HID OMNIKEY: card keys in the reader's store
}};
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

std::string statusWordText(std::uint16_t status) {
  const std::array<std::uint8_t, 2> bytes = {static_cast<std::uint8_t>(status >> 8),
                                             static_cast<std::uint8_t>(status)};
  return hex(bytes);
}

bool cardIn(DWORD state) {
  return (state & SCARD_STATE_PRESENT) != 0 && (state & SCARD_STATE_MUTE) == 0;
}

// A reader's state as pcscd knows it, asked for with a timeout of 0.
SCARD_READERSTATE unawareOf(const char* reader) {
  SCARD_READERSTATE state{};
  state.szReader = reader;
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  return state;
}

// Makes the next SCardGetStatusChange wait for a change from what it last said.
void awaitChange(SCARD_READERSTATE& state) {
  state.dwCurrentState = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
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
      say("another program held the card on \"" + readerName_ + "\" for the whole second (" + what +
          "); close it (pcsc_scan, a smart-card daemon) and try again");
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

  std::vector<ListedReader> readers;
  for (std::size_t at = 0; at < names.size() && names[at] != '\0';) {
    readers.push_back({names.c_str() + at});
    at += readers.back().name.size() + 1;
  }
  if (readers.empty()) {
    say("no PC/SC reader is attached (check it with pcsc_scan)");
    return link::kErrPort;
  }
  if (nameContains.empty()) return chooseReader(readers);
  std::string seen;
  for (const ListedReader& reader : readers) {
    if (reader.name.find(nameContains) != std::string::npos) {
      readerName_ = reader.name;
      return 0;
    }
    seen += (seen.empty() ? "\"" : ", \"") + reader.name + "\"";
  }
  say("no PC/SC reader's name contains \"" + nameContains + "\"; the readers are " + seen);
  return link::kErrPort;
}

std::int32_t PcscMifareReader::chooseReader(std::vector<ListedReader>& readers) {
  std::vector<SCARD_READERSTATE> states;
  for (const ListedReader& reader : readers) states.push_back(unawareOf(reader.name.c_str()));
  const LONG result =
      pcsc_->getStatusChange(context_, 0, states.data(), static_cast<DWORD>(states.size()));
  // Without the states the names still choose.
  if (result == SCARD_S_SUCCESS) {
    for (std::size_t i = 0; i < readers.size(); ++i) {
      readers[i].holdsCard = cardIn(states[i].dwEventState);
    }
  } else if (result == SCARD_E_NO_SERVICE || result == SCARD_E_SERVICE_STOPPED) {
    return failed(result, "SCardGetStatusChange");
  }
  readerName_ = readers[pickPcscReader(readers)].name;
  return 0;
}

std::int32_t PcscMifareReader::waitForCard() {
  SCARD_READERSTATE state = unawareOf(readerName_.c_str());
  LONG result = pcsc_->getStatusChange(context_, 0, &state, 1);
  if (result == SCARD_S_SUCCESS && !cardIn(state.dwEventState) &&
      (state.dwEventState & (SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE)) == 0) {
    awaitChange(state);
    result = pcsc_->getStatusChange(context_, millisecondsLeft(kCardWait), &state, 1);
    if (result == SCARD_E_TIMEOUT) return link::kErrNoCard;
  }
  if (result != SCARD_S_SUCCESS) return failed(result, "SCardGetStatusChange");
  if ((state.dwEventState & SCARD_STATE_UNKNOWN) != 0)
    return failed(SCARD_E_UNKNOWN_READER, "SCardGetStatusChange");
  return cardIn(state.dwEventState) ? 0 : link::kErrNoCard;
}

bool PcscMifareReader::cardWentAway(bool wait) {
  SCARD_READERSTATE state = unawareOf(readerName_.c_str());
  if (pcsc_->getStatusChange(context_, 0, &state, 1) != SCARD_S_SUCCESS) return false;
  if (!cardIn(state.dwEventState)) return true;
  if (!wait) return false;
  // pcscd may not have looked since: give it the time it takes to look once.
  awaitChange(state);
  return pcsc_->getStatusChange(context_, millisecondsLeft(kCardWait), &state, 1) ==
             SCARD_S_SUCCESS &&
         !cardIn(state.dwEventState);
}

std::int32_t PcscMifareReader::connectCard() {
  if (connected_) return 0;
  std::int32_t result = waitForCard();
  if (result != 0) return result;
  if (Clock::now() >= deadline_) return link::kErrTimeout;
  // Exclusive: nobody else's command lands between a write and its read-back.
  LONG connected = SCARD_S_SUCCESS;
  while (true) {
    connected = pcsc_->connect(context_, readerName_.c_str(), SCARD_SHARE_EXCLUSIVE,
                               SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_, &protocol_);
    if (connected != SCARD_E_SHARING_VIOLATION ||
        Clock::now() + kBusyPause + kBusyMargin >= deadline_) {
      break;
    }
    std::this_thread::sleep_for(kBusyPause);
  }
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
  const std::optional<StorageCard> storageCard = storageCardOf(answer);
  const bool classic = storageCard && isClassicCompatible(*storageCard);
  if (!classic) {
    say("the card is no Mifare Classic nor compatible with one (its ATR: " + hex(answer) + ")");
  }
  // The UID, so that a write is seen to end on the card it began on: a reader need not report
  // a card taken away and another laid down between two commands. Le 00: all of it.
  const std::array<std::uint8_t, 5> getUid = {apdu::kClass, apdu::kGetData, apdu::kUidData, 0x00,
                                              0x00};
  std::vector<std::uint8_t> uid;
  std::uint16_t statusWord = 0;
  result = transmit(getUid, uid, statusWord);
  if (result != 0) return result;
  if (statusWord != kSuccess && statusWord != static_cast<std::uint16_t>(StatusWord::EndBeforeLe)) {
    return refused("to tell the card's UID", statusWord);
  }
  card.hasClassicSector1 = classic;
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
  say(std::string("the reader refused ") + what + " (status word " + statusWordText(status) + ")");
  return link::kErrReader;
}

std::int32_t PcscMifareReader::loadKey(const MifareKey& key) {
  std::array<std::size_t, kKeyForms.size()> order{};
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (keyForm_) {
    std::rotate(order.begin(), order.begin() + *keyForm_, order.begin() + *keyForm_ + 1);
  }
  std::string refusals;
  for (const std::size_t form : order) {
    std::array<std::uint8_t, 5 + apdu::kKeyLength> load = {apdu::kClass, apdu::kLoadKey,
                                                           kKeyForms[form].where,
                                                           kKeyForms[form].name, apdu::kKeyLength};
    std::copy(key.begin(), key.end(), load.begin() + 5);
    std::vector<std::uint8_t> data;
    std::uint16_t status = 0;
    const std::int32_t result = transmit(load, data, status);
    if (result != 0) return result;
    if (status == kSuccess) {
      keyForm_ = form;
      keyLoaded_ = true;
      loadedKey_ = key;
      return 0;
    }
    refusals += (refusals.empty() ? "" : ", ") + hex(std::span(load).first(4)) + ": " +
                statusWordText(status);
  }
  if (cardWentAway()) return link::kErrNoCard;
  say("the reader took the card key in none of the forms it was offered (" + refusals + ")");
  return link::kErrReader;
}

std::int32_t PcscMifareReader::authenticateKeyA(std::uint8_t block, const MifareKey& key) {
  if (!keyLoaded_ || loadedKey_ != key) {
    const std::int32_t loaded = loadKey(key);
    if (loaded != 0) return loaded;
  }
  const std::array<std::uint8_t, 5 + apdu::kAuthenticateLength> authenticate = {
      apdu::kClass,
      apdu::kAuthenticate,
      0x00,
      0x00,
      apdu::kAuthenticateLength,
      apdu::kAuthenticateVersion,
      0x00,
      block,
      apdu::kKeyA,
      kKeyForms[keyForm_.value_or(0)].number};
  std::vector<std::uint8_t> data;
  std::uint16_t status = 0;
  const std::int32_t result = transmit(authenticate, data, status);
  if (result != 0) return result;
  switch (static_cast<StatusWord>(status)) {
    case StatusWord::Ok:
      return 0;
    // 63 00 says no more: the key does not open the sector, or the card has gone.
    case StatusWord::Failed:
    case StatusWord::SecurityNotSatisfied:
    case StatusWord::AuthenticationBlocked:
      // Only what pcscd already knows: waiting would slow down every refused key.
      if (cardWentAway(false)) return link::kErrNoCard;
      resetOnRelease_ = true;
      return link::kErrAuth;
    default:
      return refused("the authentication", status);
  }
}

std::int32_t PcscMifareReader::readBlock(std::uint8_t block, link::MifareBlock& data) {
  const std::array<std::uint8_t, 5> read = {apdu::kClass, apdu::kReadBinary, 0x00, block,
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
      apdu::kClass, apdu::kUpdateBinary, 0x00, block, static_cast<std::uint8_t>(data.size())};
  std::copy(data.begin(), data.end(), update.begin() + 5);
  std::vector<std::uint8_t> reply;
  std::uint16_t status = 0;
  const std::int32_t result = transmit(update, reply, status);
  if (result != 0) return result;
  switch (static_cast<StatusWord>(status)) {
    case StatusWord::Ok:
      return 0;
    // After a good authentication these are the card's refusal, not the reader's: the block is
    // not written (access bits that forbid it, a worn-out card).
    case StatusWord::Failed:
    case StatusWord::MemoryFailure:
    case StatusWord::NotAllowed:
      if (cardWentAway()) return link::kErrNoCard;
      resetOnRelease_ = true;
      say("the card refused to write block " + std::to_string(block) + " (status word " +
          statusWordText(status) + "); use another card");
      return link::kErrVerify;
    default:
      return refused("to write a block", status);
  }
}

std::int32_t PcscMifareReader::beep(std::uint8_t value) {
  if (value == 0) return 0;
  // LEDs left as they are; buzzer on for the first 100 ms of each 200 ms repetition.
  const std::array<std::uint8_t, 9> buzz = {
      apdu::kClass, apdu::kEscape, apdu::kBuzzer, 0x00,
      0x04,         0x01,          0x01,          std::min(value, kMostBeeps),
      0x01};
  SCARD_READERSTATE state = unawareOf(readerName_.c_str());
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
