// Every fault the reader emulator can make, against each thing the operator can do through the
// window, on both readers: whatever the line does, the click comes back promptly, an OK caption is
// shown only when the card really holds what was written, a failed read changes no field, and a
// failed write leaves the old record or the new one on the card (a card torn away mid-write may
// hold part of it, and then the caption must be an error).
//
// The reader answers the window's open soundly and goes bad from the operation's first request on
// (--fault-from); the open itself meets the fault from its first request.
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "EmulatedReaderTest.h"
#include "FaultTable.h"

namespace keycard::testing {
namespace {

constexpr std::chrono::milliseconds kPromptly{1500};

// Type 7, hotel 12AB9F, room 201: the card lying on the reader before the click.
constexpr char kOldRecord[] = "0712AB9F030CC90401250131083025020111000600221502";
// What the window's start texts write.
constexpr char kNewRecord[] = "013330330101010100060718120006071912000000235900";
// The data block the start text of the card serial number field ("01") writes.
constexpr char kNewDataBlock[] = "0A001100";
// Some of the fields a read of kOldRecord shows.
const std::pair<const char*, const char*> kOldRecordShown[] = {
    {"txtCardty", "7"}, {"txtHotel", "12AB9F"}, {"txtRoom", "201"}, {"txtSdate", "25-01-31 08:30"}};

struct Reader {
  const char* name;
  const char* kind;
  const char* cardType;
  int comboIndex;
  int requestsToOpen;  // proximity: GetVersion, ControlRf, Beep; Mifare: GetVersion, Beep
  const char* writeOk;
  const char* writeError;
  const char* readError;
};

const Reader kReaders[] = {
    {"proximity", "proximity", "em4469", 0, 3, "Wr 4469 OK ", "Wr 4469 Error ", "Rd 4469 Error "},
    {"Mifare", "mifare", "mifare1k", 1, 2, "Wr OK ", "Wr Error ", "Rd Error "}};

const char* const kFaults[] = {"silent",  "late",     "corrupt", "truncate",
                               "garbage", "oversize", "hangup",  "tear"};

// In the order of kOperations. Data cards are written through the proximity reader only, whatever
// the window shows, so the Mifare cases stop short of the last.
enum class Operation { Open, WriteKeyCard, ReadKeyCard, WriteDataCard };

struct OperationCase {
  const char* name;
  const char* button;
};

const OperationCase kOperations[] = {
    {"open", "butOpen"}, {"write", "butWr"}, {"read", "butRd"}, {"data card", "cmdWriteData"}};

using Case = std::tuple<int, int, int>;  // indices into kReaders, kFaults and kOperations

class FaultThroughWindow : public EmulatedReaderTest, public ::testing::WithParamInterface<Case> {
 protected:
  void TearDown() override { window->close(); }  // closes the reader the window shows

  const Reader& reader() const { return kReaders[std::get<0>(GetParam())]; }
  std::string fault() const { return kFaults[std::get<1>(GetParam())]; }
  Operation operation() const { return Operation{std::get<2>(GetParam())}; }
  const OperationCase& operationCase() const { return kOperations[std::get<2>(GetParam())]; }

  // "old", "new" or "partly new" `what`, as the card holds it; checked against the write's caption.
  std::string checkWrite(const std::string& caption, const std::string& held,
                         const std::string& before, const std::string& after,
                         const std::string& what) const {
    std::string outcome = held == before ? "old " : held == after ? "new " : "partly new ";
    outcome += what;
    if (caption.starts_with(reader().writeOk)) {
      EXPECT_EQ(held, after) << "reported written, but the card holds another " << what;
      EXPECT_FALSE(torn()) << "reported written, but the card was taken away";
    } else {
      EXPECT_TRUE(caption.starts_with(reader().writeError)) << caption;
      if (!torn()) {
        EXPECT_NE(outcome, "partly new " + what);
      }
    }
    return outcome;
  }

  // Once torn away, the emulator keeps the card under another name.
  bool torn() const { return !std::filesystem::exists(card); }
  std::filesystem::path cardNow() const { return torn() ? card.string() + ".torn" : card.string(); }

  std::filesystem::path card = dir / "card";
};

TEST_P(FaultThroughWindow, ClickEndsPromptlyAndNeverClaimsWhatTheCardDoesNotHold) {
  newCard(reader().cardType, card, kOldRecord);
  const std::string oldDataBlock = cardBlock(card, 2);
  const bool opening = operation() == Operation::Open;
  const EmulatorProcess emulator({.kind = reader().kind,
                                  .card = card,
                                  .portDir = dir.path(),
                                  .fault = fault(),
                                  .faultFrom = opening ? 1 : reader().requestsToOpen + 1,
                                  .log = {}});
  selectKind(reader().comboIndex);
  if (!opening) {
    ASSERT_NO_FATAL_FAILURE(openReader(reader().comboIndex));
  }
  const QStringList fieldsBefore = fieldTexts();
  control<QLabel>("lstSta")->clear();  // so the caption is the one this click shows

  const auto start = std::chrono::steady_clock::now();
  click(operationCase().button);
  const auto took = std::chrono::steady_clock::now() - start;

  std::string caption = text("lstSta").toStdString();
  EXPECT_LT(took, kPromptly) << caption;
  std::string cardAfter = cardRecord(cardNow()) == kOldRecord ? "old record" : "changed record";
  switch (operation()) {
    case Operation::Open:
      // Only a tear leaves the open's replies alone.
      EXPECT_EQ(cardAfter, "old record");
      if (reader().comboIndex == 0) {
        EXPECT_EQ(caption, fault() == "tear" ? "Open CommPort OK" : "Open CommPort Error");
        break;
      }
      // The Mifare open shows nothing either way; its handle tells. Handles count up through the
      // run, so only their sign goes into the table.
      EXPECT_EQ(caption, "");
      EXPECT_EQ(CardData::CommHandle > 0, fault() == "tear") << CardData::CommHandle;
      caption = "(nothing shown; auto_open gave " +
                (CardData::CommHandle > 0 ? "a handle" : std::to_string(CardData::CommHandle)) +
                ")";
      break;
    case Operation::WriteKeyCard:
      cardAfter = checkWrite(caption, cardRecord(cardNow()), kOldRecord, kNewRecord, "record");
      break;
    case Operation::ReadKeyCard:
      EXPECT_EQ(cardAfter, "old record");
      if (caption == "RD 4469 OK") {
        for (const auto& [name, shown] : kOldRecordShown) EXPECT_EQ(text(name), shown);
      } else {
        EXPECT_TRUE(caption.starts_with(reader().readError)) << caption;
        EXPECT_EQ(fieldTexts(), fieldsBefore) << "a failed read changed the fields";
      }
      break;
    case Operation::WriteDataCard:
      cardAfter =
          checkWrite(caption, cardBlock(cardNow(), 2), oldDataBlock, kNewDataBlock, "block 2");
      break;
  }
  if (torn()) cardAfter += ", card taken away";
  // Every other fault spoils the first reply after the open, so the operation cannot succeed.
  if (!opening && fault() != "tear") {
    EXPECT_NE(caption.find("Error"), std::string::npos) << "the fault never reached the reader";
  }

  const auto [readerIndex, faultIndex, operationIndex] = GetParam();
  recordFaultRow(KEYCARD_FAULT_TABLE,
                 {.order = (readerIndex * 10 + faultIndex) * 10 + operationIndex,
                  .fault = fault(),
                  .operation = std::string(reader().name) + " " + operationCase().name,
                  .caption = caption,
                  .milliseconds = std::chrono::duration<double, std::milli>(took).count(),
                  .cardAfter = cardAfter});
}

std::string caseName(const ::testing::TestParamInfo<Case>& row) {
  std::string name =
      std::string(kFaults[std::get<1>(row.param)]) + "_" + kOperations[std::get<2>(row.param)].name;
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

// Every fault against the first `operations` of kOperations on kReaders[reader].
auto casesOf(int reader, int operations) {
  const int faults = static_cast<int>(std::size(kFaults));
  return ::testing::Combine(::testing::Values(reader), ::testing::Range(0, faults),
                            ::testing::Range(0, operations));
}

INSTANTIATE_TEST_SUITE_P(Proximity, FaultThroughWindow, casesOf(0, 4), caseName);
INSTANTIATE_TEST_SUITE_P(Mifare, FaultThroughWindow, casesOf(1, 3), caseName);

}  // namespace
}  // namespace keycard::testing
