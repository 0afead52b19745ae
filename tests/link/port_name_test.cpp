#include <gtest/gtest.h>

#include <ostream>

#include <cstdlib>
#include <optional>
#include <string>

#include "port_name.h"

namespace keycard::link {
namespace {

// Sets or clears the port folder variable for one test.
class PortDir {
 public:
  explicit PortDir(const char* value) {
    if (const char* old = std::getenv(kPortDirVariable)) previous_ = old;
    if (value == nullptr) {
      unsetenv(kPortDirVariable);
    } else {
      setenv(kPortDirVariable, value, 1);
    }
  }
  PortDir(const PortDir&) = delete;
  PortDir& operator=(const PortDir&) = delete;
  ~PortDir() {
    if (previous_) {
      setenv(kPortDirVariable, previous_->c_str(), 1);
    } else {
      unsetenv(kPortDirVariable);
    }
  }

 private:
  std::optional<std::string> previous_;
};

struct ResolveCase {
  const char* name;
  const char* portName;
  const char* portDir;  // nullptr: unset
  std::optional<std::string> expected;
  friend void PrintTo(const ResolveCase& row, std::ostream* out) { *out << row.name; }
};

class ResolvePortName : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolvePortName, MapsOnlyCom1ToCom10) {
  const ResolveCase& row = GetParam();
  const PortDir dir(row.portDir);
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
                      ResolveCase{"NoNumber", "COM", nullptr, std::nullopt},
                      ResolveCase{"Empty", "", nullptr, std::nullopt},
                      ResolveCase{"PathLike", "../COM1", "/tmp/ports", std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keycard::link
