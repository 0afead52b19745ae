// KEYCARD_MIFARE_READER's accepted forms, and near misses that must not pass for one.
#include "drivers/MSRD_MIF/ReaderChoice.h"

#include <gtest/gtest.h>

#include <optional>

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
      {"pcsc:", pcsc("")},
      {"pcsc:ACR122U", pcsc("ACR122U")},
      {"pcsc:Virtual PCD 00 01", pcsc("Virtual PCD 00 01")},
      {"pcsc:a:b", pcsc("a:b")},
      {"PCSC", std::nullopt},
      {"pcscd", std::nullopt},
      {" pcsc", std::nullopt},
      {"pcsc ", std::nullopt},
      {"serial", std::nullopt},
      {"COM1", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(parseReaderChoice(row.value), row.choice) << (row.value ? row.value : "(unset)");
  }
}

}  // namespace
}  // namespace keycard::drivers
