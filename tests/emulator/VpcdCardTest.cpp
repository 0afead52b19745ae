// The emulator's card on a real pcscd with the virtual reader driver, seen through libpcsclite as
// any PC/SC program sees a card. Run through scripts/private-pcscd.sh, which provides the pcscd
// and KEYCARD_VPCD_PORT; without them every test fails and says so.
#include <gtest/gtest.h>
#include <winscard.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "emulator/Card.h"
#include "tests/support/EmulatorProcess.h"

namespace keycard::emulator {
namespace {

using namespace std::chrono_literals;

// The virtual reader on KEYCARD_VPCD_PORT; "00 01" listens on the next port.
constexpr char kReaderName[] = "Virtual PCD 00 00";
constexpr char kOneKAtr[] = "3B8F8001804F0CA000000306030001000000006A";
constexpr char kRecord[] = "0102030405060708090A0B0C0D0E0F101112131415161718";
constexpr char kBlock[] = "00112233445566778899AABBCCDDEEFF";

std::string hexCode(LONG code) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

class VpcdCardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("KEYCARD_VPCD_PORT");
    ASSERT_TRUE(port != nullptr && *port != '\0')
        << "KEYCARD_VPCD_PORT is not set: run these tests through scripts/private-pcscd.sh";
    port_ = std::atoi(port);
    const LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_);
    ASSERT_EQ(result, SCARD_S_SUCCESS) << "no pcscd: " << pcsc_stringify_error(result);
  }

  void TearDown() override {
    disconnect();
    if (context_ != 0) SCardReleaseContext(context_);
  }

  testing::EmulatorOptions emulatorOptions(std::string fault = {}) const {
    return {.kind = "mifare", .card = card_, .fault = std::move(fault), .vpcdPort = port_};
  }

  // Waits (2 s at most) until pcscd sees a card on the reader, or sees none.
  bool awaitCard(bool present) {
    SCARD_READERSTATE state{};
    state.szReader = kReaderName;
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < until) {
      if (SCardGetStatusChange(context_, 200, &state, 1) == SCARD_S_SUCCESS) {
        const bool there = (state.dwEventState & SCARD_STATE_PRESENT) != 0;
        if (there == present) return true;
        state.dwCurrentState = state.dwEventState;
      }
    }
    return false;
  }

  // SCARD_S_SUCCESS, or why there is no card to talk to.
  LONG connect() {
    disconnect();
    DWORD protocol = 0;
    const LONG result =
        SCardConnect(context_, kReaderName, SCARD_SHARE_SHARED,
                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_handle_, &protocol);
    if (result == SCARD_S_SUCCESS) {
      pci_ = protocol == SCARD_PROTOCOL_T1 ? SCARD_PCI_T1 : SCARD_PCI_T0;
    }
    return result;
  }

  void disconnect() {
    if (card_handle_ != 0) SCardDisconnect(card_handle_, SCARD_LEAVE_CARD);
    card_handle_ = 0;
  }

  std::string atr() {
    BYTE bytes[MAX_ATR_SIZE];
    DWORD length = sizeof bytes;
    DWORD state = 0;
    DWORD protocol = 0;
    if (SCardStatus(card_handle_, nullptr, nullptr, &state, &protocol, bytes, &length) !=
        SCARD_S_SUCCESS) {
      return "no status";
    }
    return toHex(std::span(bytes, length));
  }

  // The response as hex, or "error 0x8010...." when the transmission failed.
  std::string transmit(const std::string& commandHex) {
    std::string text = commandHex;
    std::erase(text, ' ');
    const std::vector<std::uint8_t> command = fromHex(text).value();
    BYTE response[258];
    DWORD length = sizeof response;
    const LONG result =
        SCardTransmit(card_handle_, pci_, command.data(), static_cast<DWORD>(command.size()),
                      nullptr, response, &length);
    if (result != SCARD_S_SUCCESS) return "error " + hexCode(result);
    return toHex(std::span(response, length));
  }

  void authenticateSectorOne() {
    ASSERT_EQ(transmit("FF 82 00 00 06 FFFFFFFFFFFF"), "9000");
    ASSERT_EQ(transmit("FF 86 00 00 05 01 00 04 60 00"), "9000");
  }

  int port_ = 0;
  SCARDCONTEXT context_ = 0;
  SCARDHANDLE card_handle_ = 0;
  const SCARD_IO_REQUEST* pci_ = SCARD_PCI_T1;
  testing::TempDir dir_;
  const std::filesystem::path card_ = dir_ / "guest.card";
};

TEST_F(VpcdCardTest, TheCardIsOnTheReaderWhileItsFileExists) {
  testing::newCard("mifare1k", card_, kRecord);
  testing::EmulatorProcess emulator(emulatorOptions());
  ASSERT_EQ(connect(), SCARD_S_SUCCESS) << "ready means pcscd has the card";
  EXPECT_EQ(atr(), kOneKAtr);
  authenticateSectorOne();
  EXPECT_EQ(transmit("FF B0 00 04 10"), std::string(kRecord).substr(0, 32) + "9000");
  EXPECT_EQ(transmit(std::string("FF D6 00 05 10") + kBlock), "9000");
  EXPECT_EQ(transmit("FF B0 00 05 10"), std::string(kBlock) + "9000");
  EXPECT_EQ(testing::cardBlock(card_, 5), kBlock);

  std::filesystem::rename(card_, dir_ / "in-a-pocket");
  ASSERT_TRUE(awaitCard(false)) << "pcscd still sees a card after its file went";
  EXPECT_EQ(transmit("FF CA 00 00 00"), "error " + hexCode(SCARD_W_REMOVED_CARD));

  std::filesystem::rename(dir_ / "in-a-pocket", card_);
  ASSERT_TRUE(awaitCard(true)) << "pcscd does not see the card come back";
  ASSERT_EQ(connect(), SCARD_S_SUCCESS);
  EXPECT_EQ(transmit("FF B0 00 05 10"), "6300") << "a card laid on again starts unauthenticated";
}

TEST_F(VpcdCardTest, WithoutACardItCanSeeTheReaderIsEmptyUntilOneAppears) {
  testing::newCard("t5557", card_);  // a 125 kHz card: no card for this reader
  testing::EmulatorProcess emulator(emulatorOptions());
  // An earlier test's card leaves when its emulator stops; pcscd notices at its next look.
  ASSERT_TRUE(awaitCard(false));
  EXPECT_EQ(connect(), SCARD_E_NO_SMARTCARD);
  std::filesystem::remove(card_);
  testing::newCard("ultralight", card_);
  ASSERT_TRUE(awaitCard(true));
  ASSERT_EQ(connect(), SCARD_S_SUCCESS);
  EXPECT_EQ(atr(), "3B8F8001804F0CA0000003060300030000000068");
}

TEST_F(VpcdCardTest, ALateCardAnswersWholeAfterItsDelay) {
  testing::newCard("mifare1k", card_, kRecord);
  testing::EmulatorProcess emulator(emulatorOptions("late"));
  ASSERT_EQ(connect(), SCARD_S_SUCCESS);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(transmit("FF CA 00 00 00").size(), 12u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 800ms);
}

TEST_F(VpcdCardTest, TearTakesTheCardAwayRightAfterItsFirstWriteFromFaultFromOn) {
  testing::newCard("mifare1k", card_, kRecord);
  testing::EmulatorOptions options = emulatorOptions("tear");
  options.faultFrom = 4;
  testing::EmulatorProcess emulator(options);
  ASSERT_EQ(connect(), SCARD_S_SUCCESS);
  authenticateSectorOne();                                              // commands 1 and 2
  EXPECT_EQ(transmit(std::string("FF D6 00 06 10") + kBlock), "9000");  // 3: still sound
  EXPECT_EQ(transmit(std::string("FF D6 00 04 10") + kBlock), "9000");  // 4: then torn away
  // Until pcscd has seen that the card went, the reader's chip gets no answer.
  const std::string answer = transmit(std::string("FF D6 00 05 10") + kBlock);
  EXPECT_TRUE(answer == "6300" || answer == "error " + hexCode(SCARD_W_REMOVED_CARD)) << answer;
  ASSERT_TRUE(awaitCard(false));
  EXPECT_EQ(transmit("FF B0 00 05 10"), "error " + hexCode(SCARD_W_REMOVED_CARD));
  EXPECT_FALSE(std::filesystem::exists(card_));
  const std::filesystem::path torn = card_.string() + ".torn";
  EXPECT_EQ(testing::cardBlock(torn, 4), kBlock);
  EXPECT_EQ(testing::cardBlock(torn, 6), kBlock);
  EXPECT_EQ(testing::cardBlock(torn, 5), std::string(kRecord).substr(32) + std::string(16, '0'));
}

}  // namespace
}  // namespace keycard::emulator
