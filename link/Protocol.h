// The reader protocol shared by the driver libraries and the reader emulator: commands, reply
// statuses and timing. PROTOCOL.md beside this file describes it for people.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace keycard::link {

inline constexpr std::uint8_t kStartByte = 0x02;
// LEN counts the command byte and the payload.
inline constexpr std::size_t kMaxBody = 64;
inline constexpr std::size_t kMaxPayload = kMaxBody - 1;
// STX, LEN, SEQ, CRC high, CRC low around the body.
inline constexpr std::size_t kFrameOverhead = 5;
inline constexpr std::size_t kMaxFrame = kMaxBody + kFrameOverhead;

// A reply carries the request's sequence number, the request's command with this bit set, and a
// status as its first payload byte.
inline constexpr std::uint8_t kReplyBit = 0x80;

enum class Command : std::uint8_t {
  GetVersion = 0x01,    // () -> status, version text
  ControlRf = 0x02,     // (mode) -> status
  Beep = 0x03,          // (value) -> status
  SelectCard = 0x10,    // () -> status, card type, 4-byte UID
  ReadBlock = 0x11,     // (block) -> status, block bytes (4 on 125 kHz cards, 16 on Mifare)
  WriteBlock = 0x12,    // (block, bytes) -> status
  Authenticate = 0x13,  // (block, key type 0x60 = key A, 6 key bytes) -> status; Mifare only
};

enum class Status : std::uint8_t {
  Ok = 0x00,
  NoCard = 0x01,
  UnknownCommand = 0x02,  // this kind of reader has no such command
  BadArgument = 0x03,     // block out of range, wrong payload length
  WrongCardKind = 0x04,   // the card on the reader is not one this command works on
  AuthFailed = 0x05,      // wrong key, or a Mifare block read or written without authentication
  ReadOnly = 0x06,        // a block the card never lets anyone write
  WriteFailed = 0x07,     // the reader could not write the block: the card may not hold it
};

enum class CardType : std::uint8_t {
  T5557 = 0x01,
  EM4469 = 0x02,
  Mifare1K = 0x03,
};

inline constexpr std::uint8_t kMifareKeyA = 0x60;
// A Mifare sector key, as a reader loads it and a card checks it.
using MifareKey = std::array<std::uint8_t, 6>;

// 9600 baud, 8N1: ten bit times a byte.
inline constexpr unsigned kBaudRate = 9600;
inline constexpr std::chrono::microseconds kByteTime{10'000'000 / kBaudRate};
// A PN532 board's high-speed UART, also 8N1: about 87 µs a byte.
inline constexpr unsigned kPn532BaudRate = 115200;
// A reply that has not fully arrived by then never will.
inline constexpr std::chrono::milliseconds kReplyTimeout{500};
// A driver operation of many exchanges (a key-card write is 14) ends by then in all, so a reader
// that answers each one just in time cannot hold the caller for seconds.
inline constexpr std::chrono::milliseconds kOperationTimeout{1500};

}  // namespace keycard::link
