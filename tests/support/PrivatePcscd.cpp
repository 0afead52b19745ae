#include "tests/support/PrivatePcscd.h"

#include <signal.h>
#include <unistd.h>
#include <winscard.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

// The script starts its pcscd with a configuration folder of its own making: no other pcscd
// names that folder on its command line.
bool startedByTheScript(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline");
  const std::string commandLine((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
  return commandLine.starts_with(std::string("pcscd") + '\0') &&
         commandLine.find('\0' + variable("KEYCARD_PCSCD_CONFIG") + '\0') != std::string::npos;
}

}  // namespace

int vpcdPort(int reader) {
  return std::stoi(variable("KEYCARD_VPCD_PORT")) + reader;
}

void waitUntilVirtualReaderEmpty(int reader) {
  SCARDCONTEXT context = 0;
  if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
    throw std::runtime_error("the private pcscd does not answer");
  }
  const std::string name = "Virtual PCD 00 0" + std::to_string(reader);
  SCARD_READERSTATE state{};
  state.szReader = name.c_str();
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  LONG result = SCardGetStatusChange(context, 0, &state, 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (result == SCARD_S_SUCCESS && (state.dwEventState & SCARD_STATE_PRESENT) != 0 &&
         std::chrono::steady_clock::now() < deadline) {
    state.dwCurrentState = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
    result = SCardGetStatusChange(context, 1000, &state, 1);
    if (result == SCARD_E_TIMEOUT) result = SCARD_S_SUCCESS;
  }
  SCardReleaseContext(context);
  if ((state.dwEventState & SCARD_STATE_PRESENT) != 0) {
    throw std::runtime_error("a card stays on " + name + " though nothing plays it");
  }
}

void stopPrivatePcscd() {
  const pid_t pid = std::stoi(variable("KEYCARD_PCSCD_PID"));
  if (!startedByTheScript(pid)) {
    throw std::runtime_error("process " + std::to_string(pid) +
                             " is not a private pcscd beside this test: left alone");
  }
  if (::kill(pid, SIGTERM) != 0) throw std::runtime_error("cannot stop the private pcscd");
  for (int waited = 0; running(pid); ++waited) {
    if (waited == 500) throw std::runtime_error("the private pcscd did not stop within 5 s");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace keycard::testing
