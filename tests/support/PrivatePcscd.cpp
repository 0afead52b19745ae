#include "tests/support/PrivatePcscd.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace keycard::testing {

namespace {

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    throw std::runtime_error(std::string(name) +
                             " is not set: run this test through scripts/private-pcscd.sh");
  }
  return value;
}

// A zombie still answers kill(pid, 0); its state in /proc says it is gone.
bool running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  for (int i = 0; i < 3 && stat >> field; ++i) {
  }
  return stat && field != "Z" && field != "X";
}

}  // namespace

int vpcdPort(int reader) {
  return std::stoi(variable("KEYCARD_VPCD_PORT")) + reader;
}

void stopPrivatePcscd() {
  const pid_t pid = std::stoi(variable("KEYCARD_PCSCD_PID"));
  if (std::filesystem::read_symlink("/proc/self/ns/mnt") ==
      std::filesystem::read_symlink("/proc/1/ns/mnt")) {
    throw std::runtime_error("not in a private mount namespace: this pcscd may be the machine's");
  }
  if (::kill(pid, SIGTERM) != 0) throw std::runtime_error("cannot stop the private pcscd");
  for (int waited = 0; running(pid); ++waited) {
    if (waited == 500) throw std::runtime_error("the private pcscd did not stop within 5 s");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace keycard::testing
