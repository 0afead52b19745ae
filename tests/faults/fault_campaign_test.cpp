// Every fault the reader emulator can make, against each thing the operator can do through the
// window, on both readers: whatever the line does, the click comes back promptly, an OK caption is
// shown only when the card really holds what was written, and a failed write leaves the old record
// or the new one on the card (a card torn away mid-write may hold part of it, and then the caption
// must be an error).
//
// A faulty reader spoils the version question of the open, so the window opens COM1 while the
// line leads to a sound reader, and the line is then switched over to the faulty one.
#include <QLabel>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "EmulatedReaderTest.h"
#include "FaultTable.h"
#include "LineSwitch.h"

namespace keycard::testing {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPromptly{1500};

// Type 7, hotel 12AB9F, room 201: the card lying on the faulty reader before the click.
constexpr char kOldRecord[] = "0712AB9F030CC90401250131083025020111000600221502";
// What the window's start texts write.
constexpr char kNewRecord[] = "013330330101010100060718120006071912000000235900";
// The data block the start text of the card serial number field ("01") writes.
constexpr char kNewDataBlock[] = "0A001100";
const std::map<std::string, QString> kOldRecordShown = {{"txtCardty", "7"},
                                                        {"txtHotel", "12AB9F"},
                                                        {"txtRoom", "201"},
                                                        {"txtSdate", "25-01-31 08:30"},
                                                        {"txtFloorCnt", "2"}};

struct Reader {
  const char* name;
  const char* kind;
  const char* cardType;
  int comboIndex;
  const char* writeOk;
  const char* writeError;
  const char* readError;
};

const Reader kReaders[] = {
    {"proximity", "proximity", "em4469", 0, "Wr 4469 OK ", "Wr 4469 Error ", "Rd 4469 Error "},
    {"Mifare", "mifare", "mifare1k", 1, "Wr OK ", "Wr Error ", "Rd Error "}};

const char* const kFaults[] = {"silent",  "late",     "corrupt", "truncate",
                               "garbage", "oversize", "hangup",  "tear"};

enum class Operation { Open, WriteKeyCard, ReadKeyCard, WriteDataCard };

struct OperationCase {
  Operation operation;
  const char* name;
  const char* button;
};

const OperationCase kOperations[] = {{Operation::Open, "open", "butOpen"},
                                     {Operation::WriteKeyCard, "write", "butWr"},
                                     {Operation::ReadKeyCard, "read", "butRd"},
                                     {Operation::WriteDataCard, "data card", "cmdWriteData"}};

struct Case {
  int reader;
  int fault;
  int operation;
};

// Data cards are written through the proximity reader only, whatever the window shows.
std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (int reader = 0; reader < static_cast<int>(std::size(kReaders)); ++reader) {
    for (int fault = 0; fault < static_cast<int>(std::size(kFaults)); ++fault) {
      for (int operation = 0; operation < static_cast<int>(std::size(kOperations)); ++operation) {
        if (kOperations[operation].operation == Operation::WriteDataCard && reader != 0) continue;
        cases.push_back({reader, fault, operation});
      }
    }
  }
  return cases;
}

// "old", "new" or "partly new", by what the card holds.
std::string compare(const std::string& held, const std::string& before, const std::string& after) {
  if (held == before) return "old";
  if (held == after) return "new";
  return "partly new";
}

class FaultThroughWindow : public EmulatedReaderTest, public ::testing::WithParamInterface<Case> {
 protected:
  void TearDown() override { window->close(); }  // closes the reader the window shows

  const Reader& reader() const { return kReaders[GetParam().reader]; }
  const char* fault() const { return kFaults[GetParam().fault]; }
  const OperationCase& operation() const { return kOperations[GetParam().operation]; }

  std::unique_ptr<EmulatorProcess> startEmulator(const char* port,
                                                 const std::filesystem::path& file,
                                                 const std::string& withFault) const {
    EmulatorOptions options;
    options.kind = reader().kind;
    options.port = port;
    options.card = file;
    options.portDir = dir.path();
    options.fault = withFault;
    return std::make_unique<EmulatorProcess>(options);
  }

  // The card the faulty reader had; once torn away the emulator keeps it under another name.
  std::filesystem::path cardNow() const {
    return std::filesystem::exists(card) ? card : std::filesystem::path(card.string() + ".torn");
  }

  std::map<std::string, QString> shownFields() const {
    std::map<std::string, QString> shown;
    for (const auto& [name, value] : kOldRecordShown) shown[name] = text(name.c_str());
    return shown;
  }

  std::filesystem::path card = dir / "card";
};

TEST_P(FaultThroughWindow, ClickEndsPromptlyAndNeverClaimsWhatTheCardDoesNotHold) {
  newCard(reader().cardType, card, kOldRecord);
  newCard(reader().cardType, dir / "spare");
  const bool dataCard = operation().operation == Operation::WriteDataCard;
  const std::string oldDataBlock = dataCard ? cardBlock(card, 2) : "";
  const auto soundReader = startEmulator("COM8", dir / "spare", "");
  const auto faultyReader = startEmulator("COM9", card, fault());
  LineSwitch line(dir / "COM1", soundReader->portPath());
  selectKind(reader().comboIndex);
  selectPort(0);
  click("butOpen");
  ASSERT_TRUE(control("butWr")->isEnabled()) << text("lstSta").toStdString();

  line.switchTo(faultyReader->portPath());
  const auto fieldsBefore = shownFields();
  control<QLabel>("lstSta")->clear();  // so the caption is the one this click shows

  const auto start = std::chrono::steady_clock::now();
  click(operation().button);
  const auto took = std::chrono::steady_clock::now() - start;

  std::string caption = text("lstSta").toStdString();
  EXPECT_LT(took, kPromptly) << caption;
  const bool torn = !std::filesystem::exists(card);
  std::string cardAfter;
  switch (operation().operation) {
    case Operation::Open:
      // Every fault but a tear spoils every reply, so no reader ever really answered.
      if (reader().comboIndex == 0) {
        if (std::string(fault()) != "tear") {
          EXPECT_EQ(caption, "Open CommPort Error");
        }
      } else {
        // The Mifare open shows nothing either way; its handle tells.
        EXPECT_EQ(caption, "");
        if (std::string(fault()) != "tear") {
          EXPECT_LE(CardData::CommHandle, 0);
        }
        // Handles count up through the run, so only their sign goes into the table.
        caption = "(nothing shown; auto_open gave " +
                  (CardData::CommHandle > 0 ? std::string("a handle")
                                            : std::to_string(CardData::CommHandle)) +
                  ")";
      }
      cardAfter = compare(cardRecord(cardNow()), kOldRecord, kNewRecord) + " record";
      EXPECT_EQ(cardAfter, "old record");
      break;
    case Operation::WriteKeyCard: {
      const std::string held = cardRecord(cardNow());
      cardAfter = compare(held, kOldRecord, kNewRecord) + " record";
      if (caption.starts_with(reader().writeOk)) {
        EXPECT_EQ(held, kNewRecord) << "reported written, but the card holds another record";
        EXPECT_FALSE(torn) << "reported written, but the card was taken away";
      } else {
        EXPECT_TRUE(caption.starts_with(reader().writeError)) << caption;
        if (!torn) {
          EXPECT_NE(cardAfter, "partly new record");
        }
      }
      break;
    }
    case Operation::ReadKeyCard:
      cardAfter = compare(cardRecord(cardNow()), kOldRecord, kNewRecord) + " record";
      EXPECT_EQ(cardAfter, "old record");
      if (caption == "RD 4469 OK") {
        EXPECT_EQ(shownFields(), kOldRecordShown);
      } else {
        EXPECT_TRUE(caption.starts_with(reader().readError)) << caption;
        EXPECT_EQ(shownFields(), fieldsBefore) << "a failed read changed the fields";
      }
      break;
    case Operation::WriteDataCard: {
      const std::string held = cardBlock(cardNow(), 2);
      cardAfter = compare(held, oldDataBlock, kNewDataBlock) + " block 2";
      if (caption.starts_with("Wr 4469 OK ")) {
        EXPECT_EQ(held, kNewDataBlock) << "reported written, but the card holds another block";
      } else {
        EXPECT_TRUE(caption.starts_with("Wr 4469 Error ")) << caption;
        EXPECT_NE(cardAfter, "partly new block 2");
      }
      break;
    }
  }
  if (torn) cardAfter += ", card taken away";

  const Case& c = GetParam();
  recordFaultRow(KEYCARD_FAULT_TABLE,
                 {.order = (c.reader * 10 + c.fault) * 10 + c.operation,
                  .fault = fault(),
                  .operation = std::string(reader().name) + " " + operation().name,
                  .caption = caption,
                  .milliseconds = std::chrono::duration<double, std::milli>(took).count(),
                  .cardAfter = cardAfter});
}

std::string caseName(const ::testing::TestParamInfo<Case>& row) {
  std::string name = std::string(kReaders[row.param.reader].name) + "_" + kFaults[row.param.fault] +
                     "_" + kOperations[row.param.operation].name;
  for (char& c : name) {
    if (c == ' ') c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(AllFaults, FaultThroughWindow, ::testing::ValuesIn(allCases()), caseName);

}  // namespace
}  // namespace keycard::testing
