// Card files: the card lying on an emulated reader, one human-readable text file per card.
//
//   # keycard-emulator card
//   type t5557
//   block 00: 000880E0
//   block 01: 00000000
//   ...
//
// Block numbers are decimal, block contents capital hex (4 bytes on T5557 and EM4469 and an
// Ultralight's pages, 16 on Mifare 1K). Blank lines and lines starting with '#' are ignored; every
// block appears once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/card/Card.h"

namespace keycard::emulator {

class CardFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// No card file is larger; a larger file is not a card (a Mifare 1K card takes about 3 KiB).
inline constexpr std::size_t kMaxCardFileSize = std::size_t{64} * 1024;

std::string formatCardFile(const Card& card);
// `source` names the text in error messages (usually the file's path).
Card parseCardFile(std::string_view text, const std::string& source);

// nullopt when there is no file: no card on the reader. Throws CardFileError when the file is not
// a regular file of at most kMaxCardFileSize bytes, cannot be read, or is not a card. Never blocks:
// the file is opened without waiting, and a FIFO or a device is refused before it is read.
std::optional<Card> loadCard(const std::filesystem::path& file);

// Writes a temporary file beside `file` (`FILE.tmp-XXXXXX`) and renames it over `file`, so a reader
// of `file` sees the old card or the new one, never a part of either. The new file keeps the old
// one's permissions. Throws CardFileError, and then leaves no temporary file behind.
void saveCard(const std::filesystem::path& file, const Card& card);

// Removes the temporary files of saves of `file` that a kill cut short: named as saveCard names
// them, owned by this user, holding the beginning of a card file, and not locked by a save under
// way. Returns the paths removed.
std::vector<std::filesystem::path> removeInterruptedSaves(const std::filesystem::path& file);
// The same at an emulator's start, with a line on `out` for each file removed.
void removeInterruptedSaves(const std::filesystem::path& file, std::ostream& out);

// The card file as an emulated reader sees it: read once, and kept in memory while the file on
// disk is unchanged (the same file, size, and modification and change times).
class CardFile {
 public:
  explicit CardFile(std::filesystem::path file) : file_(std::move(file)) {}

  struct Reading {
    std::optional<Card> card;  // nullopt: no card on the reader
    std::string problem;       // why a file that is there is no card; empty otherwise
  };
  // What lies on the reader now. Never throws.
  const Reading& look();
  // saveCard, after which the next look reads the file again. Throws CardFileError.
  void save(const Card& card);
  // How often the card in the field has changed by anything but this object's saves: a card put
  // on or taken off, or the file replaced by another card. Counted as looks find it, so a reader
  // tells a card that came into the field since it selected one.
  std::uint64_t cardChanges() const { return cardChanges_; }

  const std::filesystem::path& path() const { return file_; }

  // What tells one state of a file from another without reading it.
  struct Stamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool operator==(const Stamp&) const = default;
  };

 private:
  std::filesystem::path file_;
  Reading reading_;
  std::optional<Stamp> stamp_;         // of the file read; nullopt: read it at the next look
  std::optional<std::uint32_t> mode_;  // its permissions, which a save keeps
  std::uint64_t cardChanges_ = 0;
};

// A UID seed derived from the file's name alone, so the same name always gives the same card.
std::uint32_t uidSeedFor(const std::filesystem::path& file);

}  // namespace keycard::emulator
