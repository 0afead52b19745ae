// Which reader libMSRD_MIF.so drives, chosen by KEYCARD_MIFARE_READER when a reader is opened:
// on the chosen port the serial Mifare reader or a PN532 board (whichever answers, or the board
// alone), or a PC/SC contactless reader picked by its name.
#pragma once

#include <optional>
#include <string>

namespace keycard::drivers {

inline constexpr char kReaderVariable[] = "KEYCARD_MIFARE_READER";
// Named in the message that refuses any other value.
inline constexpr char kReaderForms[] =
    "unset or empty for the reader that answers on the port, \"pn532\" for a PN532 board on "
    "the port, \"pcsc\" for the PC/SC reader holding a card (else the first contactless one), or "
    "\"pcsc:TEXT\" for the first PC/SC reader whose name contains TEXT";

struct ReaderChoice {
  bool pcsc = false;
  std::string nameContains;  // PC/SC only; empty matches every reader
  bool pn532 = false;        // a PN532 board on the port, without asking for the serial reader

  bool operator==(const ReaderChoice&) const = default;
};

// The reader `value` asks for (null when the variable is unset), or nothing when it is none of
// the accepted forms.
std::optional<ReaderChoice> parseReaderChoice(const char* value);

}  // namespace keycard::drivers
