// Faults the emulator can be told to make, so tests see how a driver copes with a reader that
// misbehaves. README.md describes each one.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Protocol.h"

namespace keycard::emulator {

enum class Fault {
  None,
  Silent,
  Late,
  Slow,
  Stale,
  Corrupt,
  Truncate,
  Garbage,
  Oversize,
  Hangup,
  Tear,
  Swap,
};

std::optional<Fault> parseFault(std::string_view name);

// A late reply comes well after the drivers' 500 ms reply timeout.
inline constexpr std::chrono::milliseconds kLateDelay{800};
// A slow reply comes just inside that timeout, so every exchange succeeds at the slowest pace a
// driver accepts.
inline constexpr std::chrono::milliseconds kSlowDelay =
    link::kReplyTimeout - std::chrono::milliseconds(50);
// Tear: the card leaves the field right after this many successful block writes.
inline constexpr int kWritesBeforeTear = 2;
// Noise the garbage fault puts before a reply; no start byte among it.
inline constexpr std::uint8_t kGarbage[] = {0xFF, 0x00, 0x55, 0xAA};

// How one reply goes onto the line.
struct Delivery {
  std::chrono::milliseconds delay{0};  // before the first byte
  std::vector<std::uint8_t> bytes;     // empty: nothing is sent
  bool hangUpAfter = false;            // close the line once `bytes` are out
};

// `frame` is a whole, valid reply frame. Stale replies are StaleReplies' work.
Delivery shapeReply(Fault fault, std::vector<std::uint8_t> frame);

// The traffic log's note for an answer, marked where the fault changed it.
std::string faultedNote(std::string note, Fault fault);

// The stale fault: a reply that is well formed and answers the right command, but an earlier
// request of that command, the way a reply meant for another request would look.
class StaleReplies {
 public:
  // Remembers `frame` as the latest reply to `command` and returns the one before it, or `frame`
  // itself when this is the command's first reply.
  std::vector<std::uint8_t> swap(std::uint8_t command, std::vector<std::uint8_t> frame);

 private:
  std::map<std::uint8_t, std::vector<std::uint8_t>> latest_;
};

// When the fault strikes: requests before `faultFrom` (counted from 1) are answered soundly, a
// reader that goes bad mid-session; the tear fault takes the card away once, after
// `writesBeforeTear` successful block writes. The swap fault counts block writes alone: another
// card comes once the `faultFrom`th has been written.
class FaultSchedule {
 public:
  FaultSchedule(Fault fault, int faultFrom, int writesBeforeTear)
      : fault_(fault),
        faultFrom_(fault == Fault::Swap ? 1 : faultFrom),
        writesBeforeTear_(fault == Fault::Swap ? faultFrom : writesBeforeTear) {}

  // The fault this request meets.
  Fault next() {
    if (requests_ < faultFrom_) ++requests_;  // stops counting there, so it never overflows
    return requests_ < faultFrom_ ? Fault::None : fault_;
  }
  // A block was written under the tear or swap fault: whether the card changes now (true once
  // only).
  bool cardChangesAfterWrite() {
    if (torn_ || ++writes_ < writesBeforeTear_) return false;
    torn_ = true;
    return true;
  }

 private:
  Fault fault_;
  int faultFrom_;
  int writesBeforeTear_;
  int requests_ = 0;
  int writes_ = 0;
  bool torn_ = false;
};

// The card leaves the reader with its file: renamed beside it, so the written blocks stay to be
// seen; a failure to rename is said on stderr.
void takeCardAway(const std::filesystem::path& card);

// Another card takes the place of the one on the reader: a copy of it as written so far under
// another UID, which a read-back that looks at the blocks alone takes for the card written. The
// card itself goes to `FILE.swapped`. Failures are said on stderr.
void swapCard(const std::filesystem::path& card);

}  // namespace keycard::emulator
