#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "link/DecimalNumber.h"
#include "link/PortName.h"

namespace keycard::link {
namespace {

TEST(ResolvePortName, MapsOnlyCom1ToCom10) {
  const struct {
    const char* portName;
    const char* portDir;  // nullptr: unset
    std::optional<std::string> expected;
  } rows[] = {
      {"COM1", nullptr, "/dev/ttyS0"},
      {"COM10", nullptr, "/dev/ttyS9"},
      {"COM2", "", "/dev/ttyS1"},  // an empty folder is no folder
      {"COM3", "/tmp/ports", "/tmp/ports/COM3"},
      {"COM0", nullptr, std::nullopt},
      {"COM11", nullptr, std::nullopt},
      {"com1", nullptr, std::nullopt},
      {"COM01", nullptr, std::nullopt},
      {"COM1 ", nullptr, std::nullopt},
      {"COM+1", nullptr, std::nullopt},
      {"", nullptr, std::nullopt},
      {"../COM1", "/tmp/ports", std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string("'") + row.portName + "' in " +
                 (row.portDir != nullptr ? row.portDir : "-"));
    row.portDir != nullptr ? setenv(kPortDirVariable, row.portDir, 1) : unsetenv(kPortDirVariable);
    EXPECT_EQ(resolvePortName(row.portName), row.expected);
  }
  unsetenv(kPortDirVariable);
}

TEST(PortNumber, TheLastPortIsTheRulesOnlyParameter) {
  const struct {
    const char* portName;
    int lastPort;
    std::optional<int> expected;
  } rows[] = {
      {"COM11", 255, 11},
      {"COM255", 255, 255},
      {"COM256", 255, std::nullopt},
      {"COM99999999999", 255, std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(portNumber(row.portName, row.lastPort), row.expected)
        << row.portName << " up to " << row.lastPort;
  }
}

TEST(ParseDecimal, DigitsAndNothingElse) {
  const std::pair<const char*, std::optional<std::uint32_t>> rows[] = {
      {"0", 0},           {"007", 7}, {"4294967295", 4294967295U},
      {"4294967296", {}}, {"", {}},   {"-1", {}},
      {"+1", {}},         {" 1", {}}, {"1 ", {}},
      {"1x", {}},
  };
  for (const auto& [text, expected] : rows) {
    EXPECT_EQ(parseDecimal<std::uint32_t>(text), expected) << "'" << text << "'";
  }
  EXPECT_EQ(parseDecimal<int>("-1"), std::nullopt);  // a signed type takes no sign either
}

}  // namespace
}  // namespace keycard::link
