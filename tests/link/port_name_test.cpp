#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "port_name.h"

namespace keycard::link {
namespace {

struct ResolveCase {
  const char* name;
  const char* portName;
  const char* portDir;  // nullptr: unset
  std::optional<std::string> expected;
  friend void PrintTo(const ResolveCase& row, std::ostream* out) { *out << row.name; }
};

class ResolvePortName : public ::testing::TestWithParam<ResolveCase> {
 protected:
  void TearDown() override { unsetenv(kPortDirVariable); }
};

TEST_P(ResolvePortName, MapsOnlyCom1ToCom10) {
  const ResolveCase& row = GetParam();
  if (row.portDir != nullptr) {
    setenv(kPortDirVariable, row.portDir, 1);
  } else {
    unsetenv(kPortDirVariable);
  }
  EXPECT_EQ(resolvePortName(row.portName), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ResolvePortName,
    ::testing::Values(ResolveCase{"Com1", "COM1", nullptr, "/dev/ttyS0"},
                      ResolveCase{"Com10", "COM10", nullptr, "/dev/ttyS9"},
                      ResolveCase{"EmptyDirMeansUnset", "COM2", "", "/dev/ttyS1"},
                      ResolveCase{"InPortDir", "COM3", "/tmp/ports", "/tmp/ports/COM3"},
                      ResolveCase{"Com0", "COM0", nullptr, std::nullopt},
                      ResolveCase{"Com11", "COM11", nullptr, std::nullopt},
                      ResolveCase{"Com100", "COM100", "/tmp/ports", std::nullopt},
                      ResolveCase{"LowerCase", "com1", nullptr, std::nullopt},
                      ResolveCase{"LeadingZero", "COM01", nullptr, std::nullopt},
                      ResolveCase{"TrailingBlank", "COM1 ", nullptr, std::nullopt},
                      ResolveCase{"Sign", "COM+1", nullptr, std::nullopt},
                      ResolveCase{"Empty", "", nullptr, std::nullopt},
                      ResolveCase{"PathLike", "../COM1", "/tmp/ports", std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::link
