#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

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
      {"COM01", nullptr, std::nullopt},
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

}  // namespace
}  // namespace keycard::link
