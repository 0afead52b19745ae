// The readers the emulator can play, as the command line names them.
#pragma once

#include <optional>
#include <string_view>

namespace keycard::emulator {

// Pn532: a PN532 board, which emulator/pn532/ plays.
enum class ReaderKind { Proximity, Mifare, Pn532 };

// "proximity", "mifare" or "pn532"
std::optional<ReaderKind> parseReaderKind(std::string_view name);

// The reader families, which differ in where they keep card keys and in the status words they
// refuse with:
//   acs      Load Keys FF 82 00 {00|01}, Authenticate names key 00 or 01; refuses other slots
//            with 6B 00, a write the card refused with 63 00.
//   identiv  Load Keys FF 82 00 60 (the slot named by key type), Authenticate names key type 60
//            with key 01; refuses other slots with 69 88, a refused write with 65 81.
//   omnikey  Load Keys FF 82 20 {00|01} (the reader's non-volatile store); refuses the other
//            forms and a refused write with 69 86.
enum class ReaderFamily { Acs, Identiv, Omnikey };
std::optional<ReaderFamily> parseReaderFamily(std::string_view name);

}  // namespace keycard::emulator
