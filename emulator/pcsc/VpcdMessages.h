// The virtual PC/SC reader driver's socket protocol, as the card side sees it: every message is a
// 2-byte big-endian length and its payload. A 1-byte payload from the reader is a control, anything
// longer a command APDU; the card answers an APDU, and the ATR control, with one message.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace keycard::emulator {

enum class VpcdControl : std::uint8_t { PowerOff = 0, PowerOn = 1, Reset = 2, AnswerToReset = 4 };

// Takes the first whole message off the front of `input`; nullopt while it is incomplete.
std::optional<std::vector<std::uint8_t>> takeVpcdMessage(std::vector<std::uint8_t>& input);

// The payload with its length in front. Payloads longer than 65535 bytes do not exist here.
std::vector<std::uint8_t> vpcdMessage(std::span<const std::uint8_t> payload);

}  // namespace keycard::emulator
