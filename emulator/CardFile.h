// Card files: the card lying on an emulated reader, one human-readable text file per card.
//
//   # keycard-emulator card
//   type t5557
//   block 00: 000880E0
//   block 01: 00000000
//   ...
//
// Block numbers are decimal, block contents capital hex (4 bytes on T5557 and EM4469, 16 on
// Mifare 1K). Blank lines and lines starting with '#' are ignored; every block appears once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "emulator/Card.h"

namespace keycard::emulator {

class CardFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string formatCardFile(const Card& card);
// `source` names the text in error messages (usually the file's path).
Card parseCardFile(std::string_view text, const std::string& source);

// nullopt when there is no file: no card on the reader. Throws CardFileError when the file cannot
// be read or is not a card.
std::optional<Card> loadCard(const std::filesystem::path& file);

// Writes a temporary file beside `file`, flushes it to disk and renames it over `file`, so a reader
// of `file` sees the old card or the new one, never a part of either. Throws CardFileError.
void saveCard(const std::filesystem::path& file, const Card& card);

// A UID seed derived from the file's name alone, so the same name always gives the same card.
std::uint32_t uidSeedFor(const std::filesystem::path& file);

}  // namespace keycard::emulator
