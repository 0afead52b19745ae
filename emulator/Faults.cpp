#include "emulator/Faults.h"

#include <array>
#include <iostream>
#include <system_error>
#include <utility>

#include "emulator/card/CardFile.h"

namespace keycard::emulator {

namespace {

constexpr const char* kSwappedSuffix = ".swapped";

}  // namespace

std::optional<Fault> parseFault(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, Fault>, 11> kNames{{
      {"silent", Fault::Silent},
      {"late", Fault::Late},
      {"slow", Fault::Slow},
      {"stale", Fault::Stale},
      {"corrupt", Fault::Corrupt},
      {"truncate", Fault::Truncate},
      {"garbage", Fault::Garbage},
      {"oversize", Fault::Oversize},
      {"hangup", Fault::Hangup},
      {"tear", Fault::Tear},
      {"swap", Fault::Swap},
  }};
  for (const auto& [text, fault] : kNames) {
    if (name == text) return fault;
  }
  return std::nullopt;
}

std::string faultedNote(std::string note, Fault fault) {
  // A torn or swapped card changes the card, not the answer.
  if (fault != Fault::None && fault != Fault::Tear && fault != Fault::Swap) note += " (as faulted)";
  return note;
}

Delivery shapeReply(Fault fault, std::vector<std::uint8_t> frame) {
  Delivery delivery;
  switch (fault) {
    case Fault::None:
    case Fault::Stale:
    case Fault::Tear:
    case Fault::Swap:
      break;
    case Fault::Silent:
      frame.clear();
      break;
    case Fault::Late:
      delivery.delay = kLateDelay;
      break;
    case Fault::Slow:
      delivery.delay = kSlowDelay;
      break;
    case Fault::Corrupt:
      frame.back() ^= 0xFF;  // the low CRC byte no longer matches
      break;
    case Fault::Truncate:
      frame.resize(frame.size() - 2);  // everything but the CRC
      break;
    case Fault::Garbage:
      frame.insert(frame.begin(), std::begin(kGarbage), std::end(kGarbage));
      break;
    case Fault::Oversize:
      frame[1] = 0xFF;  // far beyond the longest body a frame can have
      break;
    case Fault::Hangup:
      frame.resize(frame.size() / 2);
      delivery.hangUpAfter = true;
      break;
  }
  delivery.bytes = std::move(frame);
  return delivery;
}

std::vector<std::uint8_t> StaleReplies::swap(std::uint8_t command,
                                             std::vector<std::uint8_t> frame) {
  auto [latest, first] = latest_.try_emplace(command, frame);
  if (first) return frame;
  std::swap(latest->second, frame);
  return frame;
}

void takeCardAway(const std::filesystem::path& card) {
  std::error_code error;
  std::filesystem::rename(card, card.string() + ".torn", error);
  if (error) {
    std::cerr << "keycard-emulator: cannot take the card away (--fault tear): " << error.message()
              << '\n';
  }
}

void swapCard(const std::filesystem::path& card) {
  try {
    std::optional<Card> other = loadCard(card);
    if (!other) throw CardFileError(card.string() + " is not there");
    setCardUid(*other, uidSeedFor(card.string() + kSwappedSuffix));
    // Renamed first, then the other card saved into place: a reader that looks between the two
    // finds no card, as a real one may while two cards change places.
    std::error_code error;
    std::filesystem::rename(card, card.string() + kSwappedSuffix, error);
    if (error) throw CardFileError(error.message());
    saveCard(card, *other);
  } catch (const CardFileError& failure) {
    std::cerr << "keycard-emulator: cannot swap the card (--fault swap): " << failure.what()
              << '\n';
  }
}

}  // namespace keycard::emulator
