// What the driver tests and the endurance benchmark share: a reader emulator running in a
// throw-away port folder that the drivers find through KEYCARD_PORT_DIR, and both drivers' key
// card operations behind one face.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "drivers/MF_API/MF_API.h"
#include "drivers/MSRD_MIF/MSRD_MIF.h"
#include "emulator/card/CardFile.h"
#include "link/ChipLayout.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/WorkedRecord.h"

namespace keycard::drivers::testing {

using KeyCard = std::array<unsigned char, link::kKeyCardSize>;

using keycard::testing::kWorkedRecord;

// How long a driver operation may take in these tests: about a second, and a little for a busy
// machine.
inline constexpr std::chrono::milliseconds kPromptLimit{1200};

// The operation's result, failing the test when it took longer than `limit`.
template <typename Operation>
std::int32_t promptly(Operation operation, std::chrono::milliseconds limit = kPromptLimit) {
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t result = operation();
  EXPECT_LT(std::chrono::steady_clock::now() - start, limit);
  return result;
}

// One reader on COM1 of a fresh port folder, with `cardType` on it ("" for none).
struct Bench {
  // `fault` spoils request `faultFrom` (counted from 1, the driver's open included) and on.
  Bench(const std::string& kind, const std::string& cardType, const std::string& fault = "",
        bool wireDelay = false, int faultFrom = 1) {
    if (!cardType.empty()) keycard::testing::newCard(cardType, card);
    emulator.emplace(keycard::testing::EmulatorOptions{.kind = kind,
                                                       .card = card,
                                                       .portDir = folder.path(),
                                                       .wireDelay = wireDelay,
                                                       .fault = fault,
                                                       .faultFrom = faultFrom});
  }

  keycard::testing::TempDir folder;
  keycard::testing::ScopedPortDir portDir{folder.path()};
  const std::filesystem::path card = folder / "card.txt";
  std::optional<keycard::testing::EmulatorProcess> emulator;
};

// A reader's driver as the window uses it for key cards: open COM1, read, write, close.
struct Driver {
  const char* kind;        // the emulator's --kind
  std::int32_t (*open)();  // a handle (0 for the proximity reader's one port) or an error code
  std::int32_t (*read)(std::int32_t handle, KeyCard& card);
  std::int32_t (*write)(std::int32_t handle, KeyCard& card);
  std::int32_t (*close)(std::int32_t handle);
};

inline const Driver kProximity{
    "proximity", [] { return MF_InitComm("COM1", 9600); },
    [](std::int32_t, KeyCard& card) { return T5557_ReadCard(0, card.data()); },
    [](std::int32_t, KeyCard& card) { return T5557_WriteCard(0, card.data()); },
    [](std::int32_t) { return MF_ExitComm(); }};

// The Mifare driver takes the buffer's address in a cell.
template <std::int32_t (*operation)(std::int32_t, intptr_t*)>
std::int32_t throughCell(std::int32_t handle, KeyCard& card) {
  intptr_t cell = reinterpret_cast<intptr_t>(card.data());
  return operation(handle, &cell);
}

inline std::int32_t openMifareCom1() {
  std::int32_t index = 0;
  return auto_open(&index);
}

inline const Driver kMifare{"mifare", openMifareCom1, throughCell<rdkey_mif1>,
                            throughCell<wrkey_mif1>, closecomm};

// The Mifare driver told that a PN532 board is on the port, so the open asks nothing else.
inline std::int32_t openPn532Com1() {
  const keycard::testing::ScopedEnv choice("KEYCARD_MIFARE_READER", "pn532");
  return openMifareCom1();
}

inline const Driver kPn532{"pn532", openPn532Com1, throughCell<rdkey_mif1>, throughCell<wrkey_mif1>,
                           closecomm};

// Reads the card on the reader into a buffer holding the worked record, then writes that record,
// each within `limit`: a read fills the buffer with what the card holds or leaves it untouched, a
// write leaves it alone; the card afterwards holds the record with every other block as it was,
// or, after a failed write, is as it was (when it is still on the reader, and not swapped for
// another).
inline void readThenWriteWorkedRecord(const Driver& driver, std::int32_t handle,
                                      const std::filesystem::path& card, std::int32_t readResult,
                                      std::int32_t writeResult,
                                      std::chrono::milliseconds limit = kPromptLimit) {
  namespace emu = keycard::emulator;
  const auto before = emu::loadCard(card);
  KeyCard buffer = kWorkedRecord;
  EXPECT_EQ(promptly([&] { return driver.read(handle, buffer); }, limit), readResult);
  EXPECT_EQ(buffer, readResult == 0 ? KeyCard{} : kWorkedRecord);  // a blank card, or untouched
  buffer = kWorkedRecord;
  EXPECT_EQ(promptly([&] { return driver.write(handle, buffer); }, limit), writeResult);
  EXPECT_EQ(buffer, kWorkedRecord);
  if (writeResult == 0) {
    emu::Card expected = *before;
    emu::setCardRecord(expected, kWorkedRecord);
    EXPECT_EQ(emu::loadCard(card), expected);
  } else if (before && std::filesystem::exists(card) &&
             !std::filesystem::exists(card.string() + ".swapped")) {
    EXPECT_EQ(emu::loadCard(card), before);
  }
}

}  // namespace keycard::drivers::testing
