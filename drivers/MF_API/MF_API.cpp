// The proximity reader's exported operations. The library holds at most one open port.
#include "drivers/MF_API/MF_API.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "drivers/MF_API/ProximityCard.h"
#include "link/Errors.h"
#include "link/NoThrow.h"
#include "link/PortName.h"
#include "link/Protocol.h"
#include "link/ReaderCommands.h"
#include "link/SerialLine.h"

namespace {

using keycard::link::noThrow;
using keycard::link::SerialLine;
namespace link = keycard::link;
namespace drivers = keycard::drivers;

std::mutex portLock;
SerialLine port;

// Reader arguments are single bytes on the wire.
bool fitsByte(std::int32_t value) {
  return value >= 0 && value <= 0xFF;
}

}  // namespace

int32_t KEYCARD_CALL MF_InitComm(const char* portName, int32_t baud) {
  return noThrow([&] {
    const std::scoped_lock lock(portLock);
    port.close();
    if (portName == nullptr) return static_cast<std::int32_t>(link::kErrArgument);
    const std::optional<std::string> path = link::resolvePortName(portName);
    if (!path) {
      std::fprintf(stderr, "MF_InitComm: unknown port \"%s\" (expected COM1 to COM10)\n", portName);
      return static_cast<std::int32_t>(link::kErrArgument);
    }
    if (baud != static_cast<std::int32_t>(link::kBaudRate)) {
      std::fprintf(stderr, "MF_InitComm: the reader speaks %u baud only, not %d\n", link::kBaudRate,
                   baud);
      return static_cast<std::int32_t>(link::kErrArgument);
    }
    return port.open(*path, "MF_InitComm");
  });
}

int32_t KEYCARD_CALL MF_ExitComm(void) {
  const std::scoped_lock lock(portLock);
  port.close();
  return 0;
}

int32_t KEYCARD_CALL ML_GetDevice_Ver(int32_t /*dev*/, char* /*version*/) {
  // Callers hand over a text with no room in it, so the version is never copied out.
  return noThrow([] {
    const std::scoped_lock lock(portLock);
    return link::getVersion(port);
  });
}

int32_t KEYCARD_CALL ML_ControlRF(int32_t /*dev*/, int32_t mode) {
  return noThrow([&] {
    if (!fitsByte(mode)) return static_cast<std::int32_t>(link::kErrArgument);
    const std::scoped_lock lock(portLock);
    return link::controlRf(port, static_cast<std::uint8_t>(mode));
  });
}

int32_t KEYCARD_CALL ML_ControlBeep(int32_t /*dev*/, int32_t value) {
  return noThrow([&] {
    if (!fitsByte(value)) return static_cast<std::int32_t>(link::kErrArgument);
    const std::scoped_lock lock(portLock);
    return link::beep(port, static_cast<std::uint8_t>(value));
  });
}

int32_t KEYCARD_CALL T5557_ReadCard(int32_t /*dev*/, unsigned char* buffer24) {
  return noThrow([&] {
    if (buffer24 == nullptr) return static_cast<std::int32_t>(link::kErrArgument);
    const std::scoped_lock lock(portLock);
    link::KeyCardImage image{};
    const std::int32_t result = drivers::readKeyCard(port, image);
    if (result == 0) std::memcpy(buffer24, image.data(), image.size());
    return result;
  });
}

int32_t KEYCARD_CALL T5557_WriteCard(int32_t /*dev*/, unsigned char* buffer24) {
  return noThrow([&] {
    if (buffer24 == nullptr) return static_cast<std::int32_t>(link::kErrArgument);
    const std::scoped_lock lock(portLock);
    link::KeyCardImage image{};
    std::memcpy(image.data(), buffer24, image.size());
    return drivers::writeKeyCard(port, image);
  });
}

int32_t KEYCARD_CALL EM4150_WriteBlock(int32_t /*dev*/, int32_t block, unsigned char* data4) {
  return noThrow([&] {
    if (data4 == nullptr || !drivers::isWritableEm4469Word(block)) {
      return static_cast<std::int32_t>(link::kErrArgument);
    }
    const std::scoped_lock lock(portLock);
    link::ProximityBlock data{};
    std::memcpy(data.data(), data4, data.size());
    return drivers::writeDataWord(port, static_cast<std::uint8_t>(block), data);
  });
}

int32_t KEYCARD_CALL EM4150_ReadBlock(int32_t /*dev*/, int32_t block, unsigned char* data4) {
  return noThrow([&] {
    if (data4 == nullptr || !drivers::isEm4469Word(block)) {
      return static_cast<std::int32_t>(link::kErrArgument);
    }
    const std::scoped_lock lock(portLock);
    link::ProximityBlock data{};
    const std::int32_t result = drivers::readDataWord(port, static_cast<std::uint8_t>(block), data);
    if (result == 0) std::memcpy(data4, data.data(), data.size());
    return result;
  });
}
