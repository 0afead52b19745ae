// The PC/SC reader against a stand-in for libpcsclite that answers from a script: what no
// well-behaved virtual reader does on cue (a card that pcscd sees only on its next look, a reply
// without a status word, a status word no card operation expects).
#include "drivers/MSRD_MIF/PcscMifareReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
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
  library.transmit = [](SCARDHANDLE, const SCARD_IO_REQUEST*, LPCBYTE, DWORD, SCARD_IO_REQUEST*,
                        LPBYTE reply, LPDWORD length) -> LONG {
    const Bytes next = script.replies.front();
    script.replies.pop_front();
    *length = static_cast<DWORD>(next.size());
    std::copy(next.begin(), next.end(), reply);
    return SCARD_S_SUCCESS;
  };
  library.describe = [](LONG) -> const char* { return "scripted"; };
  return library;
}();

TEST(PcscReader, WaitsForACardPcscdHasNotSeenYetAndTellsEveryReplyItCannotUse) {
  const struct {
    const char* name;
    std::deque<DWORD> readerStates;
    std::deque<Bytes> replies;  // to the block read, after the UID
    std::int32_t selected, read;
    DWORD release;     // after the read
    const char* said;  // on stderr, in part
  } rows[] = {
      {"a card seen at pcscd's next look",
       {SCARD_STATE_EMPTY, SCARD_STATE_PRESENT},
       {{0x01, 0x02, 0x90, 0x00}},
       0,
       link::kErrFrame,
       SCARD_LEAVE_CARD,
       "with 2 bytes, not 16"},
      {"no card", {SCARD_STATE_EMPTY}, {}, link::kErrNoCard, link::kErrNoCard, 0, ""},
      {"a reply without a status word",
       {SCARD_STATE_PRESENT},
       {{0x90}},
       0,
       link::kErrFrame,
       SCARD_LEAVE_CARD,
       "has no status word"},
      {"a block read refused",
       {SCARD_STATE_PRESENT},
       {{0x6A, 0x82}},
       0,
       link::kErrReader,
       SCARD_RESET_CARD,
       "refused to read a block (status word 6A 82)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    script = {row.readerStates, row.replies, {}};
    script.replies.push_front({0x04, 0x11, 0x22, 0x33, 0x90, 0x00});  // the UID
    PcscMifareReader reader(&kScripted);
    reader.beginOperation("test", std::chrono::steady_clock::now() + std::chrono::seconds(1));
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(reader.open(""), 0);
    SelectedCard card;
    EXPECT_EQ(reader.selectCard(card), row.selected);
    link::MifareBlock block{};
    if (row.selected == 0) {
      EXPECT_TRUE(card.isClassic1K);
      EXPECT_EQ(card.uid, (Bytes{0x04, 0x11, 0x22, 0x33}));
      EXPECT_EQ(reader.readBlock(4, block), row.read);
      reader.releaseCard();
      EXPECT_EQ(script.releases, std::vector<DWORD>{row.release});
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace keycard::drivers
