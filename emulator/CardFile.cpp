#include "emulator/CardFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "link/DecimalNumber.h"

namespace keycard::emulator {

namespace {

constexpr std::string_view kHeader = "# keycard-emulator card";

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::string systemError(const std::string& what, const std::filesystem::path& file) {
  return what + " " + file.string() + ": " + std::strerror(errno);
}

// Closes the descriptor and removes the temporary file unless the save got through.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& beside)
      : path_((beside.string() + ".tmp-XXXXXX")) {
    fd_ = ::mkstemp(path_.data());
    if (fd_ < 0) throw CardFileError(systemError("cannot create a temporary file for", beside));
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(path_.c_str());
  }

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  void closeChecked() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw CardFileError(systemError("cannot write", path_));
  }
  void keep() { kept_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool kept_ = false;
};

void writeAll(int fd, std::string_view text, const std::string& path) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw CardFileError(systemError("cannot write", path));
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

std::string formatCardFile(const Card& card) {
  std::ostringstream out;
  out << kHeader << '\n' << "type " << cardTypeName(card.type) << '\n';
  for (std::size_t block = 0; block < card.blocks.size(); ++block) {
    out << "block " << (block < 10 ? "0" : "") << block << ": " << toHex(card.blocks[block])
        << '\n';
  }
  return out.str();
}

Card parseCardFile(std::string_view text, const std::string& source) {
  std::optional<CardType> type;
  std::vector<std::optional<std::vector<std::uint8_t>>> blocks;
  std::size_t lineNumber = 0;
  auto fail = [&](const std::string& message) {
    throw CardFileError(source + " line " + std::to_string(lineNumber) + ": " + message);
  };

  while (!text.empty()) {
    ++lineNumber;
    const auto end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;

    if (line.starts_with("type ")) {
      if (type) fail("a second type line");
      type = parseCardType(trim(line.substr(5)));
      if (!type) fail("unknown card type (expected t5557, em4469, mifare1k or ultralight)");
      blocks.assign(blockCount(*type), std::nullopt);
      continue;
    }
    if (!line.starts_with("block ")) fail("expected 'type NAME' or 'block NN: HEX'");
    if (!type) fail("a block before the type line");
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) fail("expected 'block NN: HEX'");
    const std::string_view numberText = trim(line.substr(6, colon - 6));
    const std::optional<std::size_t> parsed = link::parseDecimal<std::size_t>(numberText);
    if (!parsed) fail("the block number must be decimal");
    const std::size_t number = *parsed;
    if (number >= blocks.size()) {
      fail("block " + std::to_string(number) + " is beyond the card's " +
           std::to_string(blocks.size()) + " blocks");
    }
    if (blocks[number]) fail("block " + std::to_string(number) + " appears twice");
    auto bytes = fromHex(trim(line.substr(colon + 1)));
    if (!bytes || bytes->size() != blockSize(*type)) {
      fail("block " + std::to_string(number) + " must be " + std::to_string(blockSize(*type) * 2) +
           " hex digits");
    }
    blocks[number] = std::move(*bytes);
  }

  if (!type) fail("no 'type' line");
  Card card{*type, {}};
  for (std::size_t block = 0; block < blocks.size(); ++block) {
    if (!blocks[block]) fail("block " + std::to_string(block) + " is missing");
    card.blocks.push_back(std::move(*blocks[block]));
  }
  return card;
}

std::optional<Card> loadCard(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw CardFileError(systemError("cannot open", file));
  }
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      const std::string message = systemError("cannot read", file);
      ::close(fd);
      throw CardFileError(message);
    }
    text.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return parseCardFile(text, file.string());
}

void saveCard(const std::filesystem::path& file, const Card& card) {
  TemporaryFile temporary(file);
  // mkstemp makes the file private; a card file is as readable as any other file the user writes.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(temporary.fd(), 0666 & ~mask);
  writeAll(temporary.fd(), formatCardFile(card), temporary.path());
  // The rename alone keeps a killed emulator from leaving half a card; no fsync, since an
  // emulated card need not outlive a power cut and a synced save per block would dominate
  // every write's time.
  temporary.closeChecked();
  if (::rename(temporary.path().c_str(), file.c_str()) != 0) {
    throw CardFileError(systemError("cannot replace", file));
  }
  temporary.keep();
}

std::uint32_t uidSeedFor(const std::filesystem::path& file) {
  std::uint32_t hash = 2166136261U;  // FNV-1a
  for (char c : file.filename().string()) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 16777619U;
  }
  return hash;
}

}  // namespace keycard::emulator
