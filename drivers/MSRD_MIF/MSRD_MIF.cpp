// The Mifare reader's exported operations. Each open port has a handle above 0; handles are not
// reused, so a stale handle never reaches another port.
#include "drivers/MSRD_MIF/MSRD_MIF.h"

#include <array>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <string>

#include "drivers/MSRD_MIF/MifareCard.h"
#include "link/Errors.h"
#include "link/NoThrow.h"
#include "link/PortName.h"
#include "link/ReaderCommands.h"
#include "link/SerialLine.h"

namespace {

using keycard::link::noThrow;
using keycard::link::SerialLine;
namespace link = keycard::link;
namespace drivers = keycard::drivers;

constexpr std::size_t kPortCount = 10;  // port index 0 = "COM1" ... 9 = "COM10"

struct OpenPort {
  std::int32_t handle = 0;  // 0 while closed
  SerialLine line;
};

std::mutex portsLock;
std::array<OpenPort, kPortCount> ports;
std::int32_t lastHandle = 0;

std::int32_t newHandle() {
  lastHandle = lastHandle == std::numeric_limits<std::int32_t>::max() ? 1 : lastHandle + 1;
  return lastHandle;
}

SerialLine* lineOf(std::int32_t handle) {
  if (handle <= 0) return nullptr;
  for (OpenPort& port : ports) {
    if (port.handle == handle) return &port.line;
  }
  return nullptr;
}

void closePort(OpenPort& port) {
  port.line.close();
  port.handle = 0;
}

// The caller's buffer address, held in the cell it passes.
unsigned char* bufferIn(const intptr_t* cell) {
  return cell == nullptr ? nullptr : reinterpret_cast<unsigned char*>(*cell);
}

}  // namespace

int32_t KEYCARD_CALL auto_open(int32_t* portIndex) {
  return noThrow([&] {
    if (portIndex == nullptr || *portIndex < 0 || *portIndex >= static_cast<int>(kPortCount)) {
      return static_cast<std::int32_t>(link::kErrArgument);
    }
    const std::scoped_lock lock(portsLock);
    OpenPort& port = ports[static_cast<std::size_t>(*portIndex)];
    closePort(port);
    const std::optional<std::string> path =
        link::resolvePortName("COM" + std::to_string(*portIndex + 1));
    std::int32_t result = port.line.open(*path, "auto_open");
    if (result == 0) result = link::getVersion(port.line);
    if (result != 0) {
      port.line.close();
      return result;
    }
    port.handle = newHandle();
    return port.handle;
  });
}

int32_t KEYCARD_CALL closecomm(int32_t handle) {
  const std::scoped_lock lock(portsLock);
  for (OpenPort& port : ports) {
    if (handle > 0 && port.handle == handle) {
      closePort(port);
      return 0;
    }
  }
  return link::kErrNotOpen;
}

int32_t KEYCARD_CALL dv_beep(int32_t handle, int32_t value) {
  return noThrow([&] {
    if (value < 0 || value > 0xFF) return static_cast<std::int32_t>(link::kErrArgument);
    const std::scoped_lock lock(portsLock);
    SerialLine* line = lineOf(handle);
    if (line == nullptr) return static_cast<std::int32_t>(link::kErrNotOpen);
    return link::beep(*line, static_cast<std::uint8_t>(value));
  });
}

int32_t KEYCARD_CALL wrkey_mif1(int32_t handle, intptr_t* bufferCell) {
  return noThrow([&] {
    const unsigned char* buffer = bufferIn(bufferCell);
    if (buffer == nullptr) return static_cast<std::int32_t>(link::kErrArgument);
    const std::scoped_lock lock(portsLock);
    SerialLine* line = lineOf(handle);
    if (line == nullptr) return static_cast<std::int32_t>(link::kErrNotOpen);
    link::KeyCardImage image{};
    std::memcpy(image.data(), buffer, image.size());
    return drivers::writeMifareKeyCard(*line, image);
  });
}

int32_t KEYCARD_CALL rdkey_mif1(int32_t handle, intptr_t* bufferCell) {
  return noThrow([&] {
    unsigned char* buffer = bufferIn(bufferCell);
    if (buffer == nullptr) return static_cast<std::int32_t>(link::kErrArgument);
    const std::scoped_lock lock(portsLock);
    SerialLine* line = lineOf(handle);
    if (line == nullptr) return static_cast<std::int32_t>(link::kErrNotOpen);
    link::KeyCardImage image{};
    const std::int32_t result = drivers::readMifareKeyCard(*line, image);
    if (result == 0) std::memcpy(buffer, image.data(), image.size());
    return result;
  });
}
