// PN532 frame codec for the high-speed UART: builds and recognises frames, no I/O, shared by the
// driver and the emulated board so both read the wire the same way.
//
//   00 00 FF LEN LCS <body> DCS 00      body = TFI (D4 host to board, D5 board to host), command,
//   data
//
// LEN counts the body (1..255) and LEN + LCS = 0 mod 256; the body's bytes + DCS = 0 mod 256.
// ACK is 00 00 FF 00 FF 00, NACK 00 00 FF FF 00 00, and the board's application error frame has
// the one-byte body 7F.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace keycard::link::pn532 {

inline constexpr std::uint8_t kHostToBoard = 0xD4, kBoardToHost = 0xD5;
inline constexpr std::array<std::uint8_t, 6> kAck = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};
inline constexpr std::array<std::uint8_t, 6> kNack = {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
inline constexpr std::array<std::uint8_t, 8> kErrorFrame = {0x00, 0x00, 0xFF, 0x01,
                                                            0xFF, 0x7F, 0x81, 0x00};
inline constexpr std::size_t kMaxBody = 255;

// 00 00 FF LEN LCS <body> DCS 00; empty when the body is empty or longer than kMaxBody.
std::vector<std::uint8_t> encodeFrame(std::span<const std::uint8_t> body);

enum class Parse { Incomplete, Bad, Ack, Nack, Error, Information };

// Looks at the bytes from the start of a frame (leading 00s and noise before the 00 FF start code
// are skipped); on Ack/Nack/Error/Information/Bad `consumed` says how many bytes it took, the
// skipped ones included; `body` gets TFI+command+data of an Information frame. Incomplete: wait
// for more bytes (`consumed` is 0). Bad: a checksum, TFI or postamble that does not fit, or an
// extended frame, which nothing here sends; dropping `consumed` bytes resynchronises.
Parse parseFrame(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& body,
                 std::size_t& consumed);

const char* describe(Parse parse);

}  // namespace keycard::link::pn532
