// What the driver tests share: the worked key card record and a reader emulator running in a
// throw-away port folder that the drivers find through KEYCARD_PORT_DIR.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "EmulatorProcess.h"

namespace keycard::drivers::testing {

using KeyCard = std::array<unsigned char, 24>;

inline constexpr KeyCard kWorkedRecord = {0x01, 0x33, 0x30, 0x33, 0x01, 0x01, 0x01, 0x01,
                                          0x00, 0x06, 0x07, 0x18, 0x12, 0x00, 0x06, 0x07,
                                          0x19, 0x12, 0x00, 0x00, 0x00, 0x23, 0x59, 0x00};
inline constexpr const char* kWorkedRecordHex = "013330330101010100060718120006071912000000235900";

// A buffer the drivers must leave alone when they fail.
inline constexpr KeyCard kUntouched = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                                       0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                                       0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};

// One reader on COM1 of a fresh port folder, with `cardType` on it ("" for none yet).
class Bench {
 public:
  Bench(const std::string& kind, const std::string& cardType, const std::string& fault = "",
        bool wireDelay = false)
      : card_(folder_ / "card.txt") {
    if (!cardType.empty()) keycard::testing::newCard(cardType, card_);
    keycard::testing::EmulatorOptions options;
    options.kind = kind;
    options.card = card_;
    options.portDir = folder_.path();
    options.fault = fault;
    options.wireDelay = wireDelay;
    emulator_.emplace(options);
  }

  const std::filesystem::path& card() const { return card_; }
  const std::filesystem::path& folder() const { return folder_.path(); }
  void takeCardAway() const { std::filesystem::rename(card_, folder_ / "card-away.txt"); }

 private:
  keycard::testing::TempDir folder_;
  keycard::testing::ScopedEnv portDir_{"KEYCARD_PORT_DIR", folder_.path().string()};
  std::filesystem::path card_;
  std::optional<keycard::testing::EmulatorProcess> emulator_;
};

}  // namespace keycard::drivers::testing
