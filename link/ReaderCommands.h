// The reader's commands as calls: each sends one request, checks the shape of the reply and
// returns 0 or a negative ErrorCode. The drivers build their card operations from these.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/Protocol.h"
#include "link/SerialLine.h"

namespace keycard::link {

std::int32_t getVersion(SerialLine& line, std::string* version = nullptr);
std::int32_t controlRf(SerialLine& line, std::uint8_t mode);
std::int32_t beep(SerialLine& line, std::uint8_t value);

// `cardType` receives the CardType byte the reader reports (unknown kinds passed on as they are),
// `uid` where given the card's UID; both only on success.
std::int32_t selectCard(SerialLine& line, std::uint8_t& cardType,
                        std::vector<std::uint8_t>* uid = nullptr);

// The reply must carry exactly `block.size()` bytes (4 on 125 kHz cards, 16 on Mifare); on any
// failure `block` is left as it was.
std::int32_t readBlock(SerialLine& line, std::uint8_t number, std::span<std::uint8_t> block);
std::int32_t writeBlock(SerialLine& line, std::uint8_t number, std::span<const std::uint8_t> block);

std::int32_t authenticateKeyA(SerialLine& line, std::uint8_t number, const MifareKey& key);

}  // namespace keycard::link
