// Every fault the reader emulator can make, against each thing the operator can do through the
// window, on both readers: whatever the line does, the click comes back promptly, an OK caption is
// shown only when the card really holds what was written, a failed read changes no field, and a
// failed write leaves the old record or the new one on the card (a write cut short part way, by
// a card torn away, a slow reader's time running out or a stale reply, may leave part of it, and
// then the caption must be an error). A write whose read-back meets another card (one swapped in
// after the write's last block) is an error however complete the card it began on is.
//
// Without a fault ("none") every operation succeeds: what the start texts write lands on the card
// as the worked record, and a prepared card reads back into the fields. The PN532 rows play the
// Mifare card on an emulated PN532 board.
//
// The reader answers the window's open soundly and goes bad from the operation's first request on
// (--fault-from); the open itself meets the fault from its first request. The PC/SC rows play the
// card on the virtual reader of the private pcscd that scripts/private-pcscd.sh runs them beside,
// with the faults a card can make there.
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "emulator/card/Card.h"
#include "link/Errors.h"
#include "link/Protocol.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/PrivatePcscd.h"
#include "tests/support/WorkedRecord.h"
#include "tests/ui/WindowTestSupport.h"
#include "ui/WindowConstants.h"

namespace keycard::testing {
namespace {

// One driver operation's time, and a little for the window and a busy machine.
constexpr double kClickLimitMs =
    std::chrono::duration<double, std::milli>(link::kOperationTimeout).count() + 150;

// Type 7, hotel 12AB9F, area 3, floor 12, room 201, serial 4, flag 1, 25-01-31 08:30 to
// 25-02-01 11:00, daily 06:00 to 22:15, 2 further floors.
constexpr char kPreparedRecord[] = "0712AB9F030CC90401250131083025020111000600221502";
const QStringList kPreparedShown = {
    "7",     "12AB9F", "3", "12", "201", "4", "25-01-31 08:30", "25-02-01 11:00",
    "06:00", "22:15",  "2"};
// What the window's start texts write, as a card file shows it.
const std::string kStartTextsRecord = emulator::toHex(kWorkedRecord);

// The data block the start text of the card serial number field ("01") writes.
constexpr char kNewDataBlock[] = "0A001100";

struct Reader {
  const char* name;
  int windowKind;  // the index in the window's list of card kinds
  bool pcsc;       // the Mifare card on the virtual PC/SC reader
  const char* emulatorKind;
  const char* readerChoice;  // KEYCARD_MIFARE_READER, or null to leave it alone
  const char* cardType;
  // Proximity: GetVersion, ControlRf, Beep; Mifare: GetVersion, Beep; PC/SC: the beep's APDU;
  // PN532: SAMConfiguration, GetFirmwareVersion (the beep sends nothing).
  int requestsToOpen;
};

const Reader kReaders[] = {{"proximity", 0, false, "proximity", nullptr, "em4469", 3},
                           {"mifare", 1, false, "mifare", nullptr, "mifare1k", 2},
                           {"mifare pcsc", 1, true, "mifare", "pcsc", "mifare1k", 1},
                           {"mifare pn532", 1, false, "pn532", "pn532", "mifare1k", 2}};

const char* const kFaults[] = {"none",     "silent",  "late",     "slow",   "stale", "corrupt",
                               "truncate", "garbage", "oversize", "hangup", "tear",  "swap"};

// The other faults leave some replies sound: a tear or a swap every one but the card's, a slow
// reader those of an operation short enough to fit in its time, a stale one the first reply to
// each command. A PN532 board's line is read frame start to frame start, so noise before a frame
// spoils nothing.
bool spoilsEveryReply(const Reader& reader, const std::string& fault) {
  if (fault == "garbage" && std::string_view(reader.emulatorKind) == "pn532") return false;
  return fault != "none" && fault != "tear" && fault != "swap" && fault != "slow" &&
         fault != "stale";
}

// The code at the end of the caption of a key or data card operation the fault fails, on every
// reader.
std::int32_t codeOf(const std::string& fault) {
  if (fault == "hangup") return link::kErrPort;
  if (fault == "tear") return link::kErrNoCard;
  if (fault == "swap") return link::kErrVerify;  // read back from another card
  if (fault == "silent" || fault == "late" || fault == "slow") return link::kErrTimeout;
  return link::kErrFrame;
}

// Data cards are written through the proximity reader only, whatever the window shows, so the
// Mifare cases stop short of the last.
enum Operation { Open, WriteKeyCard, ReadKeyCard, WriteDataCard };
const char* const kOperations[] = {"open", "write", "read", "data card"};
const char* const kButtons[] = {"butOpen", "butWr", "butRd", "cmdWriteData"};

// The swap comes after the operation's last block write, so the write's read-back meets the other
// card; a read writes nothing and meets no swap.
int blockWrites(const Reader& reader, Operation operation) {
  if (operation != WriteKeyCard) return 1;
  return reader.windowKind == 0 ? 6 : 2;
}

using Case = std::tuple<int, int, int>;  // indices into kReaders, kFaults and kOperations

// The window on the real drivers (from the bin folder, through this executable's RUNPATH) and a
// reader emulator reached as "COM1" through $KEYCARD_PORT_DIR.
class FaultThroughWindow : public WindowTest, public ::testing::WithParamInterface<Case> {
 protected:
  void TearDown() override { window->close(); }  // closes the reader the window shows

  // Opens COM1 as the given card kind (0 proximity, 1 Mifare); only the proximity open reports.
  void openReader(int kind) const {
    selectKind(kind);
    click("butOpen");
    ASSERT_TRUE(control("butWr")->isEnabled()) << "no open: " << text("lstSta").toStdString();
    if (kind == 0) {
      EXPECT_EQ(text("lstSta"), QStringLiteral("Open CommPort OK"));
    }
  }

  TempDir dir;
  ScopedPortDir portDir{dir.path()};
};

TEST_P(FaultThroughWindow, ClickEndsPromptlyAndNeverClaimsWhatTheCardDoesNotHold) {
  const auto [readerIndex, faultIndex, operation] = GetParam();
  const Reader& reader = kReaders[readerIndex];
  const std::string fault = kFaults[faultIndex];
  const std::filesystem::path card = dir / "card";
  // Once torn away or swapped for another, the emulator keeps the card under another name.
  const auto torn = [&] { return !std::filesystem::exists(card); };
  const auto swapped = [&] { return std::filesystem::exists(card.string() + ".swapped"); };
  const auto cardNow = [&] {
    return torn()      ? card.string() + ".torn"
           : swapped() ? card.string() + ".swapped"
                       : card.string();
  };
  newCard(reader.cardType, card, kPreparedRecord);  // on the reader before the click
  const std::string oldDataBlock = cardBlock(card, 2);
  std::optional<ScopedEnv> choice;
  if (reader.readerChoice != nullptr) choice.emplace("KEYCARD_MIFARE_READER", reader.readerChoice);
  if (reader.pcsc) waitUntilVirtualReaderEmpty();
  const EmulatorProcess emulator({.kind = reader.emulatorKind,
                                  .card = card,
                                  .portDir = reader.pcsc ? "" : dir.path(),
                                  .fault = fault == "none" ? "" : fault,
                                  .faultFrom = fault == "swap"
                                                   ? blockWrites(reader, Operation(operation))
                                               : operation == Open ? 1
                                                                   : reader.requestsToOpen + 1,
                                  .vpcdPort = reader.pcsc ? vpcdPort() : 0});
  ASSERT_NO_FATAL_FAILURE(operation == Open ? selectKind(reader.windowKind)
                                            : openReader(reader.windowKind));
  const QStringList fieldsBefore = fieldTexts();
  control<QLabel>("lstSta")->clear();  // so the caption is the one this click shows

  const auto start = std::chrono::steady_clock::now();
  click(kButtons[operation]);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;

  std::string caption = text("lstSta").toStdString();
  using namespace window;
  const bool proximity = reader.windowKind == 0;
  EXPECT_LT(took.count(), kClickLimitMs) << caption;
  // "old", "new" or "partly new" `what`, as the card holds it; checked against the write's caption.
  const auto checkWrite = [&](const std::string& held, const std::string& before,
                              const std::string& after, const std::string& what) {
    if (caption.starts_with(proximity ? kProximityWriteOk : kMifareWriteOk)) {
      EXPECT_EQ(held, after) << "reported written, but the card holds another " << what;
      EXPECT_FALSE(torn()) << "reported written, but the card was taken away";
      EXPECT_FALSE(swapped()) << "reported written, but read back from another card";
    } else {
      EXPECT_TRUE(caption.starts_with(proximity ? kProximityWriteError : kMifareWriteError))
          << caption;
      EXPECT_TRUE(!spoilsEveryReply(reader, fault) || held == before || held == after)
          << "a write that failed before its first block left part of it";
    }
    return (held == before ? "old " : held == after ? "new " : "partly new ") + what;
  };
  std::string cardAfter =
      cardRecord(cardNow()) == kPreparedRecord ? "old record" : "changed record";
  switch (operation) {
    case Open:
      // The open asks each of its commands once, and fast enough for a slow reader. A PC/SC
      // reader is found without a word to the card; the beep after the open meets the fault, and
      // its result is never looked at.
      EXPECT_EQ(cardAfter, "old record");
      if (reader.windowKind == 0) {
        EXPECT_EQ(caption,
                  spoilsEveryReply(reader, fault) ? "Open CommPort Error" : "Open CommPort OK");
        break;
      }
      // The Mifare open shows nothing either way; its handle tells. Handles count up through the
      // run, so only their sign goes into the table.
      EXPECT_EQ(caption, "");
      EXPECT_EQ(CardData::CommHandle > 0, !spoilsEveryReply(reader, fault) || reader.pcsc)
          << CardData::CommHandle;
      caption = "(nothing shown; auto_open gave " +
                (CardData::CommHandle > 0 ? "a handle" : std::to_string(CardData::CommHandle)) +
                ")";
      break;
    case WriteKeyCard:
      cardAfter = checkWrite(cardRecord(cardNow()), kPreparedRecord, kStartTextsRecord, "record");
      break;
    case ReadKeyCard:
      EXPECT_EQ(cardAfter, "old record");
      EXPECT_TRUE(caption == "RD 4469 OK" ||
                  caption.starts_with(proximity ? kProximityReadError : kMifareReadError))
          << caption;
      EXPECT_EQ(fieldTexts(), caption == "RD 4469 OK" ? kPreparedShown : fieldsBefore);
      break;
    case WriteDataCard:
      cardAfter = checkWrite(cardBlock(cardNow(), 2), oldDataBlock, kNewDataBlock, "block 2");
      break;
  }
  if (torn()) cardAfter += ", card taken away";
  if (swapped()) cardAfter += ", another card read back";
  const bool failed = caption.find("Error") != std::string::npos;
  if (operation != Open && spoilsEveryReply(reader, fault)) {
    EXPECT_TRUE(failed) << "the fault never reached the reader";
  }
  if (operation != Open && failed) {
    EXPECT_TRUE(caption.ends_with(" " + std::to_string(codeOf(fault)))) << caption;
  }
  // A tear or a swap meets only a write.
  if (fault == "none" || (operation == ReadKeyCard && (fault == "tear" || fault == "swap"))) {
    EXPECT_FALSE(failed) << caption;
  }

  // A file a row, since ctest may run the cases side by side: the table is the files in the
  // order of their names.
  char row[32];
  std::snprintf(row, sizeof row, "%03d.md", (readerIndex * 20 + faultIndex) * 10 + operation);
  std::filesystem::create_directories(KEYCARD_FAULT_ROWS);
  std::ofstream(std::filesystem::path(KEYCARD_FAULT_ROWS) / row)
      << "| " << fault << " | " << reader.name << " " << kOperations[operation] << " | "
      << (caption.empty() ? "(none)" : "`" + caption + "`") << " | " << std::fixed
      << std::setprecision(2) << took.count() << " | " << cardAfter << " |\n";
}

std::string caseName(const ::testing::TestParamInfo<Case>& row) {
  std::string name =
      std::string(kFaults[std::get<1>(row.param)]) + "_" + kOperations[std::get<2>(row.param)];
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

// Every fault against the first `operations` of kOperations on kReaders[reader].
auto casesOf(int reader, int operations) {
  return ::testing::Combine(::testing::Values(reader),
                            ::testing::Range(0, static_cast<int>(std::size(kFaults))),
                            ::testing::Range(0, operations));
}

int faultIndex(std::string_view fault) {
  return static_cast<int>(std::find(std::begin(kFaults), std::end(kFaults), fault) -
                          std::begin(kFaults));
}

// The faults a card can make on the virtual PC/SC reader, against the key card operations.
auto pcscCases() {
  return ::testing::Combine(::testing::Values(2),
                            ::testing::Values(faultIndex("none"), faultIndex("late"),
                                              faultIndex("tear"), faultIndex("swap")),
                            ::testing::Range(0, 3));
}

INSTANTIATE_TEST_SUITE_P(Proximity, FaultThroughWindow, casesOf(0, 4), caseName);
INSTANTIATE_TEST_SUITE_P(Mifare, FaultThroughWindow, casesOf(1, 3), caseName);
// Run beside a private pcscd (tests/faults/CMakeLists.txt).
INSTANTIATE_TEST_SUITE_P(Pcsc, FaultThroughWindow, pcscCases(), caseName);

// The faults the emulated PN532 board plays (it has no length byte to overstate), against the key
// card operations.
auto pn532Cases() {
  std::vector<int> faults;
  for (int i = 0; i < static_cast<int>(std::size(kFaults)); ++i) {
    if (std::string_view(kFaults[i]) != "oversize") faults.push_back(i);
  }
  return ::testing::Combine(::testing::Values(3), ::testing::ValuesIn(faults),
                            ::testing::Range(0, 3));
}

INSTANTIATE_TEST_SUITE_P(Pn532, FaultThroughWindow, pn532Cases(), caseName);

}  // namespace
}  // namespace keycard::testing
