// KEYCARD_MIFARE_READER's accepted forms, and near misses that must not pass for one.
#include "drivers/MSRD_MIF/ReaderChoice.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "drivers/MSRD_MIF/PcscReaderPick.h"

namespace keycard::drivers {
namespace {

TEST(ReaderChoice, AcceptsThePortsReaderAPn532BoardAndPcscByNameAndNothingElse) {
  const ReaderChoice serial{};
  const auto pcsc = [](const char* text) { return ReaderChoice{true, text}; };
  const struct {
    const char* value;
    std::optional<ReaderChoice> choice;
  } rows[] = {
      {nullptr, serial},
      {"", serial},
      {"pn532", ReaderChoice{.pcsc = false, .nameContains = {}, .pn532 = true}},
      {"PN532", std::nullopt},
      {"pn532:", std::nullopt},
      {"pcsc", pcsc("")},
      {"pcsc:ACR122U", pcsc("ACR122U")},
      {"pcscd", std::nullopt},
      {" pcsc", std::nullopt},
      {"serial", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(parseReaderChoice(row.value), row.choice) << (row.value ? row.value : "(unset)");
  }
}

// "pcsc" alone: the reader with a card, else the contactless slot of a two-slot reader.
TEST(PcscReaderPick, TakesTheReaderHoldingACardElseAContactlessOne) {
  const struct {
    const char* why;
    std::vector<ListedReader> readers;
    std::size_t picked;
  } rows[] = {
      {"the card decides",
       {{"ACS ACR1252 1S CL Reader PICC 00 00"}, {"Virtual PCD 00 01", true}},
       1},
      {"the contact slot listed first",
       {{"HID Global OMNIKEY 5422 Smartcard Reader 00 00"},
        {"HID Global OMNIKEY 5422CL Smartcard Reader 01 00"}},
       1},
      {"CL on its own", {{"Identiv uTrust 3720 F 00 00"}, {"Identiv uTrust 3720 F CL 00 01"}}, 1},
      {"Contactless", {{"SCM SCR3310 00 00"}, {"SCM Microsystems SCL011 Contactless 01 00"}}, 1},
      {"CL inside a name is no mark",
       {{"SCM Microsystems SCL3711 00 00"}, {"CLASSIC Reader 01 00"}},
       0},
      {"a card in the contact slot still wins",
       {{"Reader A 00 00", true}, {"Reader A PICC 00 01"}},
       0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(pickPcscReader(row.readers), row.picked) << row.why;
  }
}

}  // namespace
}  // namespace keycard::drivers
