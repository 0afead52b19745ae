// The Mifare driver on a PC/SC reader: the virtual reader of the private pcscd that
// scripts/private-pcscd.sh starts, with the emulator's card on it. Key cards written and read
// back, or failing with the serial reader's codes within about a second, the caller's buffer and
// the card left alone; the reader chosen by its name; pcscd stopped under an open reader.
#include <gtest/gtest.h>
#include <winscard.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "link/Errors.h"
#include "tests/drivers/DriverTestSupport.h"
#include "tests/support/PrivatePcscd.h"

namespace keycard::drivers::testing {
namespace {

using namespace keycard::link;
using keycard::testing::EmulatorOptions;
using keycard::testing::EmulatorProcess;
using keycard::testing::ScopedEnv;
using keycard::testing::TempDir;
using keycard::testing::vpcdPort;

// The driver's own deadline is one second; this leaves room for a busy machine.
constexpr std::chrono::milliseconds kPrompt{1500};

// A card of `cardType` (none when empty) on the virtual reader "Virtual PCD 00 0<reader>", which
// plays a reader of `family` ("" for the emulator's default).
struct VirtualReader {
  explicit VirtualReader(const std::string& cardType, const std::string& keyA = "",
                         const std::string& fault = "", int reader = 0,
                         const std::string& family = "", bool readOnly = false, int faultFrom = 1) {
    if (!cardType.empty()) {
      keycard::testing::newCard(cardType, card, std::nullopt,
                                keyA.empty() ? std::nullopt : std::optional(keyA));
    }
    if (readOnly) {  // access bits in sector 1's trailer that let no key write its data blocks
      namespace emu = keycard::emulator;
      emu::Card changed = *emu::loadCard(card);
      const std::uint8_t kNoWrites[] = {0x8F, 0x07, 0x87, 0x69};
      std::copy(std::begin(kNoWrites), std::end(kNoWrites), changed.blocks.at(7).begin() + 6);
      emu::saveCard(card, changed);
    }
    keycard::testing::waitUntilVirtualReaderEmpty(reader);
    emulator.emplace(EmulatorOptions{.kind = "mifare",
                                     .card = card,
                                     .fault = fault,
                                     .faultFrom = faultFrom,
                                     .vpcdPort = vpcdPort(reader),
                                     .reader = family});
  }

  TempDir folder;
  const std::filesystem::path card = folder / "card";
  std::optional<EmulatorProcess> emulator;
};

std::int32_t openPcsc(const char* choice = "pcsc") {
  const ScopedEnv reader("KEYCARD_MIFARE_READER", choice);
  return openMifareCom1();
}

struct PcscCase {
  const char* name;
  const char* cardType;  // "" for none
  const char* keyA;      // "" for the factory key
  const char* fault;     // "" for none
  const char* family;    // the reader's, "" for the emulator's default
  bool readOnly;         // sector 1's access bits let no key write it
  std::int32_t readResult;
  std::int32_t writeResult;
  int faultFrom = 1;
  bool readBackFromAnotherCard = false;  // the write's stderr line names both UIDs
  friend void PrintTo(const PcscCase& row, std::ostream* out) { *out << row.name; }
};

class PcscKeyCard : public ::testing::TestWithParam<PcscCase> {};

TEST_P(PcscKeyCard, ReadsWritesAndReadsBackOrFailsWithTheSerialReadersCode) {
  const PcscCase& row = GetParam();
  const VirtualReader reader(row.cardType, row.keyA, row.fault, 0, row.family, row.readOnly,
                             row.faultFrom);
  const std::int32_t handle = promptly([] { return openPcsc(); }, kPrompt);
  ASSERT_GT(handle, 0);

  const std::int32_t beeped = promptly([&] { return dv_beep(handle, 2); }, kPrompt);
  if (row.readResult == 0) {
    EXPECT_EQ(beeped, 0) << "a card in the field carries the beep";
  }
  ::testing::internal::CaptureStderr();
  readThenWriteWorkedRecord(kMifare, handle, reader.card, row.readResult, row.writeResult, kPrompt);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.find("is no Mifare Classic nor compatible") != std::string::npos,
            row.readResult == kErrCardKind)
      << said;
  // A write read back from another card says so once, naming both.
  const std::string swapped = "wrkey_mif1: the write began on card ";
  EXPECT_EQ(said.find(swapped) != std::string::npos, row.readBackFromAnotherCard) << said;
  EXPECT_EQ(said.find(swapped), said.rfind(swapped)) << said;
  EXPECT_EQ(closecomm(handle), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PcscKeyCard,
    ::testing::Values(
        // Which chips pass for a Classic is the ATR and SAK tables' (StorageCardAtrTest.cpp).
        PcscCase{"Classic4K", "mifare4k", "", "", "identiv", false, 0, 0},
        PcscCase{"NoCard", "", "", "", "", false, kErrNoCard, kErrNoCard},
        PcscCase{"AnotherKeyA", "mifare1k", "A5A5A5A5A5A5", "", "", false, kErrAuth, kErrAuth},
        PcscCase{"Ultralight", "ultralight", "", "", "", false, kErrCardKind, kErrCardKind},
        // The card refuses the write: 63 00, 65 81, 69 86 by reader family.
        PcscCase{"WriteRefusedOnAcs", "mifare1k", "", "", "acs", true, 0, kErrVerify},
        PcscCase{"WriteRefusedOnIdentiv", "mifare1k", "", "", "identiv", true, 0, kErrVerify},
        PcscCase{"WriteRefusedOnOmnikey", "plus-sl1", "", "", "omnikey", true, 0, kErrVerify},
        // Another card where it lay, with no removal for pcscd to report: the rest of the write
        // is refused, or the read-back meets another UID.
        PcscCase{"SwappedAfterTheFirstBlock", "mifare1k", "", "swap", "", false, 0, kErrVerify},
        PcscCase{"SwappedBeforeTheReadBack", "mifare1k", "", "swap", "", false, 0, kErrVerify, 2,
                 true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PcscReaderChoice, TakesTheFirstReaderWhoseNameMatchesAndNamesThemAllWhenNoneDoes) {
  const VirtualReader second("mifare1k", "", "", 1);
  constexpr std::int32_t kAHandle = 1;
  const struct {
    const char* choice;
    std::int32_t open;  // kAHandle for any handle above 0
    std::int32_t write;
    const char* said;
  } rows[] = {
      {"pcsc:Virtual PCD 00 01", kAHandle, 0, ""},
      {"pcsc", kAHandle, 0, ""},  // the reader with the card, though listed second
      {"pcsc:Virtual PCD 00 00", kAHandle, kErrNoCard, ""},
      {"pcsc:ACR122U", kErrPort, kErrNotOpen,
       "auto_open: no PC/SC reader's name contains \"ACR122U\"; the readers are "
       "\"Virtual PCD 00 00\", \"Virtual PCD 00 01\"\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.choice);
    ::testing::internal::CaptureStderr();
    const std::int32_t handle = promptly([&] { return openPcsc(row.choice); }, kPrompt);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), row.said);
    EXPECT_EQ(handle > 0 ? kAHandle : handle, row.open);
    KeyCard buffer = kWorkedRecord;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(promptly([&] { return kMifare.write(handle, buffer); }, kPrompt), row.write);
    ::testing::internal::GetCapturedStderr();
    closecomm(handle);
  }
}

// pcscd serves a limited number of clients (200 by default): an open that left its connection
// behind would before long lock every program out of the reader.
TEST(PcscReaderOpen, OpeningAndClosingOverAndOverLeavesNothingBehind) {
  const VirtualReader reader("mifare1k");
  for (int i = 0; i < 250; ++i) {
    const std::int32_t handle = openPcsc();
    ASSERT_GT(handle, 0) << "open " << i;
    EXPECT_EQ(closecomm(handle), 0);
  }
}

// A Mifare chip that refused a key answers nothing more until it is powered again: the driver has
// the reader reset it, so the next operation finds it afresh.
TEST(PcscRefusedKey, TheNextOperationFindsTheCardAfresh) {
  const VirtualReader reader("mifare1k", "A5A5A5A5A5A5");
  const std::int32_t handle = openPcsc();
  ASSERT_GT(handle, 0);
  KeyCard buffer{};
  ASSERT_EQ(kMifare.read(handle, buffer), kErrAuth);
  keycard::testing::newCard("mifare1k", reader.card);  // the same card, now with the factory key
  EXPECT_EQ(promptly([&] { return kMifare.read(handle, buffer); }, kPrompt), 0);
  closecomm(handle);
}

// Another program holding the card (pcsc_scan, a desktop daemon) is waited for within the
// operation's second; one that holds it longer is a port error that names the cause.
TEST(PcscBusyCard, IsWaitedForWithinTheOperationsSecond) {
  using namespace std::chrono_literals;
  const VirtualReader reader("mifare1k");
  const std::int32_t handle = openPcsc();
  ASSERT_GT(handle, 0);
  const auto writeWhileHeldFor = [handle](std::chrono::milliseconds held) {
    SCARDCONTEXT context = 0;
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    EXPECT_EQ(SCardConnect(context, "Virtual PCD 00 00", SCARD_SHARE_EXCLUSIVE,
                           SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol),
              SCARD_S_SUCCESS);
    std::thread holder([&] {
      std::this_thread::sleep_for(held);
      SCardDisconnect(card, SCARD_LEAVE_CARD);
    });
    KeyCard buffer = kWorkedRecord;
    const std::int32_t written = promptly([&] { return kMifare.write(handle, buffer); }, kPrompt);
    holder.join();
    SCardReleaseContext(context);
    return written;
  };
  EXPECT_EQ(writeWhileHeldFor(300ms), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(writeWhileHeldFor(2500ms), kErrPort);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("another program held the card on \"Virtual PCD 00 00\""), std::string::npos)
      << said;
  closecomm(handle);
}

TEST(PcscdStopped, AnOpenReaderAndANewOpenFailWithAPortErrorThatSaysSo) {
  const VirtualReader reader("mifare1k");
  const std::int32_t handle = openPcsc();
  ASSERT_GT(handle, 0);
  KeyCard buffer = kWorkedRecord;
  ASSERT_EQ(kMifare.read(handle, buffer), 0);
  keycard::testing::stopPrivatePcscd();

  buffer = kWorkedRecord;
  const std::function<std::int32_t()> calls[] = {
      [&] { return kMifare.read(handle, buffer); },
      [&] { return kMifare.write(handle, buffer); },
      [] { return openPcsc(); },
  };
  for (const auto& call : calls) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(promptly(call, kPrompt), kErrPort);
    const std::string said = ::testing::internal::GetCapturedStderr();
    // Stopping, pcscd may first refuse access, then be gone: either way the message names it.
    EXPECT_NE(said.find("pcscd "), std::string::npos) << said;
  }
  EXPECT_EQ(buffer, kWorkedRecord);
  EXPECT_EQ(keycard::testing::cardRecord(reader.card), std::string(48, '0'));
  // The new open let the old reader go first, as it does on a serial port.
  EXPECT_EQ(closecomm(handle), kErrNotOpen);
}

}  // namespace
}  // namespace keycard::drivers::testing
