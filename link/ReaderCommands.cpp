#include "link/ReaderCommands.h"

#include <algorithm>
#include <vector>

#include "link/Transact.h"

namespace keycard::link {

namespace {

// SelectCard's reply: card type and a 4-byte UID.
constexpr std::size_t kSelectReplySize = 5;

std::int32_t sendExpectingNothing(SerialLine& line, Command command,
                                  std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> reply;
  const std::int32_t result = transact(line, command, payload, reply);
  if (result != 0) return result;
  return reply.empty() ? 0 : kErrFrame;
}

}  // namespace

std::int32_t getVersion(SerialLine& line, std::string* version) {
  std::vector<std::uint8_t> reply;
  const std::int32_t result = transact(line, Command::GetVersion, {}, reply);
  if (result == 0 && version != nullptr) version->assign(reply.begin(), reply.end());
  return result;
}

std::int32_t controlRf(SerialLine& line, std::uint8_t mode) {
  const std::uint8_t payload[] = {mode};
  return sendExpectingNothing(line, Command::ControlRf, payload);
}

std::int32_t beep(SerialLine& line, std::uint8_t value) {
  const std::uint8_t payload[] = {value};
  return sendExpectingNothing(line, Command::Beep, payload);
}

std::int32_t selectCard(SerialLine& line, std::uint8_t& cardType, std::vector<std::uint8_t>* uid) {
  std::vector<std::uint8_t> reply;
  const std::int32_t result = transact(line, Command::SelectCard, {}, reply);
  if (result != 0) return result;
  if (reply.size() != kSelectReplySize) return kErrFrame;
  cardType = reply.front();
  if (uid != nullptr) uid->assign(reply.begin() + 1, reply.end());
  return 0;
}

std::int32_t readBlock(SerialLine& line, std::uint8_t number, std::span<std::uint8_t> block) {
  const std::uint8_t payload[] = {number};
  std::vector<std::uint8_t> reply;
  const std::int32_t result = transact(line, Command::ReadBlock, payload, reply);
  if (result != 0) return result;
  if (reply.size() != block.size()) return kErrFrame;
  std::copy(reply.begin(), reply.end(), block.begin());
  return 0;
}

std::int32_t writeBlock(SerialLine& line, std::uint8_t number,
                        std::span<const std::uint8_t> block) {
  std::vector<std::uint8_t> payload{number};
  payload.insert(payload.end(), block.begin(), block.end());
  return sendExpectingNothing(line, Command::WriteBlock, payload);
}

std::int32_t authenticateKeyA(SerialLine& line, std::uint8_t number, const MifareKey& key) {
  std::vector<std::uint8_t> payload{number, kMifareKeyA};
  payload.insert(payload.end(), key.begin(), key.end());
  return sendExpectingNothing(line, Command::Authenticate, payload);
}

}  // namespace keycard::link
