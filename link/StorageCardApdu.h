// The storage-card commands a PC/SC contactless reader takes for a Mifare card (class FF), and
// the status words readers answer them with: the PC/SC driver sends them, the emulator's virtual
// reader answers them.
#pragma once

#include <cstdint>

namespace keycard::link::apdu {

inline constexpr std::uint8_t kClass = 0xFF;

// Instructions.
inline constexpr std::uint8_t kEscape = 0x00;  // P1 kBuzzer: the buzzer and LEDs
inline constexpr std::uint8_t kGetData = 0xCA;
inline constexpr std::uint8_t kLoadKey = 0x82;
inline constexpr std::uint8_t kAuthenticate = 0x86;
inline constexpr std::uint8_t kReadBinary = 0xB0;
inline constexpr std::uint8_t kUpdateBinary = 0xD6;

inline constexpr std::uint8_t kBuzzer = 0x40;   // P1 of the escape
inline constexpr std::uint8_t kUidData = 0x00;  // P1 of Get Data: the UID
inline constexpr std::uint8_t kAtsData = 0x01;  // P1 of Get Data: the ISO 14443-4 ATS

// Load Keys: P1 says where the key goes, P2 names the key (a number, or on some readers the key
// type it is for).
inline constexpr std::uint8_t kVolatileKey = 0x00;
inline constexpr std::uint8_t kNonVolatileKey = 0x20;  // P1 bit 5: the reader's own store
inline constexpr std::uint8_t kKeyLength = 6;

// Authenticate's data: version, block (two bytes), key type, key number.
inline constexpr std::uint8_t kAuthenticateVersion = 0x01;
inline constexpr std::uint8_t kAuthenticateLength = 5;
inline constexpr std::uint8_t kKeyA = 0x60;
inline constexpr std::uint8_t kKeyB = 0x61;

// The two bytes that end every response.
enum class StatusWord : std::uint16_t {
  Ok = 0x9000,
  EndBeforeLe = 0x6282,  // fewer bytes than Le asked for: all there are
  Failed = 0x6300,       // the chip refused or did not answer (wrong key, no authentication)
  MemoryFailure = 0x6581,
  WrongLength = 0x6700,  // Lc or the APDU's length does not fit the instruction
  SecurityNotSatisfied = 0x6982,
  AuthenticationBlocked = 0x6983,
  NotAllowed = 0x6986,      // the command is not allowed now (or in this form)
  KeyNotAccepted = 0x6988,  // a key slot this reader does not offer
  NotSupported = 0x6A81,    // a function the reader does not offer
  NoSuchBlock = 0x6A82,     // a block beyond the card
  WrongP1P2 = 0x6A86,
  WrongParameters = 0x6B00,  // P1, P2 or a field of the data out of range (key slot, key type)
  WrongLe = 0x6C00,          // the low byte says how many bytes there are
  UnknownInstruction = 0x6D00,
  UnknownClass = 0x6E00,
};

}  // namespace keycard::link::apdu
