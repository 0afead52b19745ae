// The PC/SC reader against a stand-in for libpcsclite that answers from a script: what no
// well-behaved virtual reader does on cue (a card that pcscd sees only on its next look, a reply
// without a status word, a status word no card operation expects, each reader family's refusals).
#include "drivers/MSRD_MIF/PcscMifareReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "link/Errors.h"

namespace keycard::drivers {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The script, and what the reader did with the card.
struct Script {
  std::deque<DWORD> readerStates;  // one a look; the last one stays
  std::deque<Bytes> replies;       // one a command
  std::vector<DWORD> releases;     // how the card was let go, each time
  std::vector<Bytes> commands;     // as sent
} script;

const PcscLibrary kScripted = [] {
  PcscLibrary library;
  library.establishContext = [](DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) -> LONG {
    *context = 1;
    return SCARD_S_SUCCESS;
  };
  library.releaseContext = [](SCARDCONTEXT) -> LONG { return SCARD_S_SUCCESS; };
  library.listReaders = [](SCARDCONTEXT, LPCSTR, LPSTR names, LPDWORD size) -> LONG {
    static const char kNames[] = "Scripted Reader\0";  // and the list's closing NUL
    if (names != nullptr) std::memcpy(names, kNames, sizeof kNames);
    *size = sizeof kNames;
    return SCARD_S_SUCCESS;
  };
  library.getStatusChange = [](SCARDCONTEXT, DWORD, SCARD_READERSTATE* states, DWORD) -> LONG {
    states->dwEventState = script.readerStates.front() | SCARD_STATE_CHANGED;
    if (script.readerStates.size() > 1) script.readerStates.pop_front();
    return SCARD_S_SUCCESS;
  };
  library.connect = [](SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE card,
                       LPDWORD protocol) -> LONG {
    *card = 2;
    *protocol = SCARD_PROTOCOL_T1;
    return SCARD_S_SUCCESS;
  };
  library.disconnect = [](SCARDHANDLE, DWORD disposition) -> LONG {
    script.releases.push_back(disposition);
    return SCARD_S_SUCCESS;
  };
  library.status = [](SCARDHANDLE, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE atr,
                      LPDWORD length) -> LONG {
    const Bytes classic1K = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                             0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
    *length = static_cast<DWORD>(std::min<std::size_t>(*length, classic1K.size()));
    std::copy_n(classic1K.begin(), *length, atr);
    return SCARD_S_SUCCESS;
  };
  library.transmit = [](SCARDHANDLE, const SCARD_IO_REQUEST*, LPCBYTE command, DWORD size,
                        SCARD_IO_REQUEST*, LPBYTE reply, LPDWORD length) -> LONG {
    script.commands.emplace_back(command, command + size);
    if (script.replies.empty()) return SCARD_F_UNKNOWN_ERROR;  // a row that scripted too few
    const Bytes next = script.replies.front();
    script.replies.pop_front();
    *length = static_cast<DWORD>(next.size());
    std::copy(next.begin(), next.end(), reply);
    return SCARD_S_SUCCESS;
  };
  library.describe = [](LONG) -> const char* { return "scripted"; };
  return library;
}();

// A reader opened on the script, its card selected with the UID 04 11 22 33 (stderr captured).
std::int32_t openAndSelect(PcscMifareReader& reader, std::deque<DWORD> states,
                           std::deque<Bytes> replies, SelectedCard& card) {
  script = {std::move(states), std::move(replies), {}, {}};
  script.replies.push_front({0x04, 0x11, 0x22, 0x33, 0x90, 0x00});
  reader.beginOperation("test", std::chrono::steady_clock::now() + std::chrono::seconds(1));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(reader.open(""), 0);
  return reader.selectCard(card);
}

TEST(PcscReader, WaitsForACardPcscdHasNotSeenYetAndTellsEveryReplyItCannotUse) {
  const struct {
    const char* name;
    std::deque<DWORD> readerStates;
    Bytes reply;  // to the block read
    std::int32_t read;
    DWORD release;     // after the read
    const char* said;  // on stderr, in part
  } rows[] = {
      // clang-format off
      {"a card seen at pcscd's next look", {SCARD_STATE_EMPTY, SCARD_STATE_PRESENT},
       {0x01, 0x02, 0x90, 0x00}, link::kErrFrame, SCARD_LEAVE_CARD, "with 2 bytes, not 16"},
      {"a reply without a status word", {SCARD_STATE_PRESENT},
       {0x90}, link::kErrFrame, SCARD_LEAVE_CARD, "has no status word"},
      {"a block read refused", {SCARD_STATE_PRESENT}, {0x6A, 0x82}, link::kErrReader,
       SCARD_RESET_CARD, "refused to read a block (status word 6A 82)"},
      {"a command the reader fails, the card still there", {SCARD_STATE_PRESENT}, {},
       link::kErrReader, SCARD_LEAVE_CARD, "scripted"},
      {"a command the reader fails, the card gone",
       {SCARD_STATE_PRESENT, SCARD_STATE_PRESENT, SCARD_STATE_EMPTY}, {}, link::kErrNoCard,
       SCARD_LEAVE_CARD, ""},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    PcscMifareReader reader(&kScripted);
    SelectedCard card;
    std::deque<Bytes> replies;  // none: the reader fails the command
    if (!row.reply.empty()) replies.push_back(row.reply);
    EXPECT_EQ(openAndSelect(reader, row.readerStates, replies, card), 0);
    EXPECT_TRUE(card.hasClassicSector1);
    EXPECT_EQ(card.uid, (Bytes{0x04, 0x11, 0x22, 0x33}));
    link::MifareBlock block{};
    EXPECT_EQ(reader.readBlock(4, block), row.read);
    reader.releaseCard();
    EXPECT_EQ(script.releases, std::vector<DWORD>{row.release});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
  }
}

// Status words "6988 9000 ..." as replies.
std::deque<Bytes> statusWords(const std::string& text) {
  std::deque<Bytes> replies;
  for (std::size_t at = 0; at + 4 <= text.size(); at += 5) {
    const auto word = std::stoul(text.substr(at, 4), nullptr, 16);
    replies.push_back({static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)});
  }
  return replies;
}

// What was sent, a command a word: instruction, P1 and P2 in hex; for Authenticate "86/" and the
// key number it names.
std::string sent() {
  std::string text;
  for (const Bytes& command : script.commands) {
    char word[12];
    if (command[1] == 0x86) {
      std::snprintf(word, sizeof word, " 86/%02X", command.back());
    } else {
      std::snprintf(word, sizeof word, " %02X%02X%02X", command[1], command[2], command[3]);
    }
    text += word;
  }
  return text.substr(1);
}

// Load Keys and Authenticate as each reader family takes them (the first form it takes is kept
// for the next key), and the status words that tell a reader's refusal from the card's (the
// card's own refusals and a wrong key are played by the virtual reader's families).
TEST(PcscReader, FindsTheReadersKeyFormAndTellsTheCardsRefusalsFromTheReaders) {
  const struct {
    const char* name;
    const char* replies;  // after the UID: loads, authentication, write, then the second key's
    std::int32_t authenticated, written;
    const char* sent;  // "" when the row is about the results
    const char* said;
    std::deque<DWORD> readerStates = {SCARD_STATE_PRESENT};
  } rows[] = {
      {"ACS", "9000 9000 9000 9000 9000", 0, 0, "CA0000 820000 86/00 D60004 820000 86/00", ""},
      {"Identiv/SCM", "6988 9000 9000 9000 9000 9000", 0, 0,
       "CA0000 820000 820060 86/01 D60004 820060 86/01", ""},
      {"HID OMNIKEY", "6986 6B00 9000 9000 9000 9000 9000", 0, 0,
       "CA0000 820000 820060 822000 86/00 D60004 822000 86/00", ""},
      {"a kept form refused later", "6988 9000 9000 9000 6988 9000 9000", 0, 0,
       "CA0000 820000 820060 86/01 D60004 820060 820000 86/00", ""},
      {"no form taken", "6988 6A86 6300", link::kErrReader, 0, "",
       "none of the forms it was offered (FF 82 00 00: 69 88, FF 82 00 60: 6A 86, FF 82 20 00: "
       "63 00)"},
      {"authentication refused", "9000 6988", link::kErrReader, 0, "", "(status word 69 88)"},
      {"the card gone at the authentication",
       "9000 6300",
       link::kErrNoCard,
       0,
       "",
       "",
       {SCARD_STATE_PRESENT, SCARD_STATE_PRESENT, SCARD_STATE_EMPTY}},
      {"memory failure", "9000 9000 6581", 0, link::kErrVerify, "", "(status word 65 81)"},
      {"a block the reader knows not", "9000 9000 6A82", 0, link::kErrReader, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    PcscMifareReader reader(&kScripted);
    SelectedCard card;
    EXPECT_EQ(openAndSelect(reader, row.readerStates, statusWords(row.replies), card), 0);
    EXPECT_EQ(reader.authenticateKeyA(4, MifareKey{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
              row.authenticated);
    if (row.authenticated == 0) {
      EXPECT_EQ(reader.writeBlock(4, link::MifareBlock{}), row.written);
    }
    if (*row.sent != '\0') {
      reader.authenticateKeyA(4, MifareKey{});
      EXPECT_EQ(sent(), row.sent);
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace keycard::drivers
