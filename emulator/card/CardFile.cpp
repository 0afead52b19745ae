#include "emulator/card/CardFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <ostream>
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

constexpr std::string_view kTemporarySuffix = ".tmp-";
constexpr std::size_t kTemporaryRandomLength = 6;  // mkstemp's XXXXXX

// A file this young may still change within the file system's timestamp granularity (up to 2 s on
// some) without its stamp showing it, so it is read again rather than trusted.
constexpr auto kSettledAfter = std::chrono::seconds(2);

// Closes the descriptor and removes the temporary file unless the save got through. Locked while
// it exists, so an emulator starting meanwhile does not take it for a leftover of a killed save.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& beside)
      : path_(beside.string() + std::string(kTemporarySuffix) +
              std::string(kTemporaryRandomLength, 'X')) {
    fd_ = ::mkstemp(path_.data());
    if (fd_ < 0) throw CardFileError(systemError("cannot create a temporary file for", beside));
    ::flock(fd_, LOCK_EX);
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
      if (!type) fail("unknown card type (expected " + cardTypeNames() + ")");
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

namespace {

bool missing(int error) {
  return error == ENOENT || error == ENOTDIR;
}

std::int64_t nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::string notRegular(const std::filesystem::path& file) {
  return file.string() + " is not a regular file, so it cannot be a card file";
}

// Reads at most one byte more than a card file may have, so that a file growing while it is
// read is refused as well.
std::string readAtMost(int fd, std::size_t limit, const std::filesystem::path& file) {
  std::string text;
  char chunk[4096];
  while (text.size() <= limit) {
    const ssize_t got = ::read(fd, chunk, std::min(sizeof chunk, limit + 1 - text.size()));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      throw CardFileError(systemError("cannot read", file));
    }
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

namespace {

// The card in `file`, nullopt when there is none; `status` receives the file's status as it was
// before the read. Throws CardFileError.
std::optional<Card> readCardFile(const std::filesystem::path& file, struct stat& status) {
  // O_NONBLOCK: opening a FIFO would wait for a writer. What is not a regular file is refused
  // before a byte is read: a device may never end.
  const Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    if (missing(errno)) return std::nullopt;
    throw CardFileError(systemError("cannot open", file));
  }
  if (::fstat(fd.get(), &status) != 0) throw CardFileError(systemError("cannot read", file));
  if (!S_ISREG(status.st_mode)) throw CardFileError(notRegular(file));
  const std::string tooLarge = file.string() + " is larger than a card file's " +
                               std::to_string(kMaxCardFileSize / 1024) + " KiB";
  if (static_cast<std::uint64_t>(status.st_size) > kMaxCardFileSize) throw CardFileError(tooLarge);
  const std::string text = readAtMost(fd.get(), kMaxCardFileSize, file);
  if (text.size() > kMaxCardFileSize) throw CardFileError(tooLarge);
  return parseCardFile(text, file.string());
}

// Returns the status of the file written, as it was before the rename.
struct stat writeCardFile(const std::filesystem::path& file, const Card& card, mode_t mode) {
  TemporaryFile temporary(file);
  if (::fchmod(temporary.fd(), mode) != 0) {
    throw CardFileError(systemError("cannot set the permissions of", temporary.path()));
  }
  writeAll(temporary.fd(), formatCardFile(card), temporary.path());
  struct stat written {};
  ::fstat(temporary.fd(), &written);
  // The rename alone keeps a killed emulator from leaving half a card; no fsync, since an
  // emulated card need not outlive a power cut and a synced save per block would dominate
  // every write's time.
  temporary.closeChecked();
  if (::rename(temporary.path().c_str(), file.c_str()) != 0) {
    throw CardFileError(systemError("cannot replace", file));
  }
  temporary.keep();
  return written;
}

// A new card file is as readable as any other file the user writes (mkstemp alone would make it
// private).
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::optional<Card> loadCard(const std::filesystem::path& file) {
  struct stat status {};
  return readCardFile(file, status);
}

void saveCard(const std::filesystem::path& file, const Card& card) {
  // The card keeps the permissions it had.
  struct stat existing {};
  const bool exists = ::stat(file.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  writeCardFile(file, card, exists ? existing.st_mode & 07777 : newFileMode());
}

namespace {

bool isTemporaryName(const std::string& name, const std::string& cardName) {
  const std::string prefix = cardName + std::string(kTemporarySuffix);
  if (name.size() != prefix.size() + kTemporaryRandomLength || !name.starts_with(prefix)) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Whether the file at `path` is what a save cut short left behind (see removeInterruptedSaves).
bool isInterruptedSave(const std::filesystem::path& path) {
  // O_NOFOLLOW: a link by that name is not ours.
  const Descriptor fd(
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
  struct stat status {};
  if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0) return false;
  if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid() || status.st_nlink != 1) {
    return false;
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;  // a save is writing it
  char start[kHeader.size()];
  ssize_t got = 0;
  while ((got = ::read(fd.get(), start, sizeof start)) < 0 && errno == EINTR) {
  }
  if (got < 0) return false;
  const std::string_view text(start, static_cast<std::size_t>(got));
  if (!kHeader.starts_with(text)) return false;  // empty, or the start of a card file
  struct stat named {};
  return ::lstat(path.c_str(), &named) == 0 && named.st_dev == status.st_dev &&
         named.st_ino == status.st_ino;
}

}  // namespace

std::vector<std::filesystem::path> removeInterruptedSaves(const std::filesystem::path& file) {
  std::vector<std::filesystem::path> removed;
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const std::string cardName = file.filename().string();
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::filesystem::path path = entry->path();
    if (!isTemporaryName(path.filename().string(), cardName) || !isInterruptedSave(path)) continue;
    if (::unlink(path.c_str()) == 0) removed.push_back(path);
  }
  return removed;
}

namespace {

CardFile::Stamp stampOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
          static_cast<std::int64_t>(status.st_size), nanoseconds(status.st_mtim),
          nanoseconds(status.st_ctim)};
}

// Whether a file's stamp can be trusted to show its next change (see kSettledAfter).
bool settled(const CardFile::Stamp& stamp) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t age = nanoseconds(now) - std::max(stamp.modifiedNs, stamp.changedNs);
  return age >= std::chrono::nanoseconds(kSettledAfter).count();
}

}  // namespace

const CardFile::Reading& CardFile::look() {
  struct stat status {};
  // Only a file kept in memory is looked at before it is read: anything else is read anyway.
  if (stamp_) {
    if (::stat(file_.c_str(), &status) == 0 && stampOf(status) == *stamp_) return reading_;
    stamp_.reset();
  }
  status = {};
  const std::optional<Card> before = std::move(reading_.card);
  try {
    reading_ = {readCardFile(file_, status), {}};
  } catch (const CardFileError& error) {
    reading_ = {std::nullopt, error.what()};
  }
  // By content: a file copied over in place keeps its inode, and a young file is read again at
  // every look though nothing changed.
  if (reading_.card != before) ++cardChanges_;
  mode_ = S_ISREG(status.st_mode) ? std::optional(status.st_mode & 07777) : std::nullopt;
  // The stamp taken before the read: a change during the read makes the next look read again.
  if (status.st_ino != 0 && settled(stampOf(status))) stamp_ = stampOf(status);
  return reading_;
}

void CardFile::save(const Card& card) {
  stamp_.reset();
  const struct stat written =
      writeCardFile(file_, card, mode_ ? static_cast<mode_t>(*mode_) : newFileMode());
  reading_ = {card, {}};
  // What the emulator wrote itself it knows, however young the file: kept in memory while the
  // file is the one renamed into place (the rename changed its change time).
  struct stat now {};
  if (::stat(file_.c_str(), &now) == 0 && now.st_dev == written.st_dev &&
      now.st_ino == written.st_ino) {
    stamp_ = stampOf(now);
  }
}

std::uint32_t uidSeedFor(const std::filesystem::path& file) {
  std::uint32_t hash = 2166136261U;  // FNV-1a
  for (char c : file.filename().string()) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 16777619U;
  }
  return hash;
}

void removeInterruptedSaves(const std::filesystem::path& file, std::ostream& out) {
  for (const auto& leftover : removeInterruptedSaves(file)) {
    out << "keycard-emulator: removed " << leftover.string()
        << ", left by a save of the card file that was cut short\n";
  }
}

}  // namespace keycard::emulator
