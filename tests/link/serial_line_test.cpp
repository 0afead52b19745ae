#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "errors.h"
#include "serial_line.h"

namespace keycard::link {
namespace {

std::string contentsOf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct OpenCase {
  const char* name;
  const char* path;
  const char* message;
  friend void PrintTo(const OpenCase& row, std::ostream* out) { *out << row.name; }
};

class RefusedPort : public ::testing::TestWithParam<OpenCase> {};

TEST_P(RefusedPort, SaysWhyOnStderrOnce) {
  const OpenCase& row = GetParam();
  SerialLine line;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(line.open(row.path, "MF_InitComm"), kErrPort);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, std::string("MF_InitComm: cannot open ") + row.path + ": " + row.message + "\n");
  EXPECT_FALSE(line.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusedPort,
    ::testing::Values(OpenCase{"Missing", "/nonexistent/COM1", "No such file or directory"},
                      OpenCase{"Folder", "/tmp", "not a serial device"},
                      OpenCase{"CharacterDeviceNotTerminal", "/dev/null", "not a serial device"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SerialLine, NeverOpensARegularFileForWriting) {
  const auto file =
      std::filesystem::temp_directory_path() / ("keycard-link-regular-" + std::to_string(getpid()));
  std::ofstream(file) << "not a port";
  const auto before = std::filesystem::last_write_time(file);

  SerialLine line;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(line.open(file.string(), "MF_InitComm"), kErrPort);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("not a serial device"),
            std::string::npos);
  EXPECT_EQ(contentsOf(file), "not a port");
  EXPECT_EQ(std::filesystem::last_write_time(file), before);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace keycard::link
