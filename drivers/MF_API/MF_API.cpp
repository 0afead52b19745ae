// The proximity reader's exported operations. The library holds at most one open port.
#include "drivers/MF_API/MF_API.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "drivers/MF_API/ProximityCard.h"
#include "link/Errors.h"
#include "link/PortName.h"
#include "link/Protocol.h"
#include "link/ReaderCommands.h"
#include "link/SerialLine.h"

namespace {

using keycard::drivers::noThrow;
using keycard::drivers::refuse;
using keycard::link::SerialLine;
namespace link = keycard::link;
namespace drivers = keycard::drivers;

std::mutex portLock;
SerialLine port;

// Reader arguments are single bytes on the wire.
bool fitsByte(std::int32_t value) {
  return value >= 0 && value <= 0xFF;
}

// Runs `operation` on the open port under its lock and within one operation's time, or refuses
// when no port is open.
template <typename Operation>
std::int32_t onOpenPort(const char* caller, Operation&& operation) {
  return noThrow([&] {
    const std::scoped_lock lock(portLock);
    if (!port.isOpen()) {
      return refuse(link::kErrNotOpen, caller, "no port is open (call MF_InitComm first)");
    }
    const link::OperationScope bounded(port);
    return operation(port);
  });
}

std::int32_t refuseNull(const char* caller, const char* what) {
  return refuse(link::kErrArgument, caller, "the %s is a null pointer", what);
}

}  // namespace

int32_t KEYCARD_CALL MF_InitComm(const char* portName, int32_t baud) {
  const char* const caller = __func__;
  return noThrow([&] {
    const std::scoped_lock lock(portLock);
    port.close();
    if (portName == nullptr) return refuseNull(caller, "port name");
    const std::optional<std::string> path = link::resolvePortName(portName);
    if (!path) {
      return refuse(link::kErrArgument, caller, "unknown port \"%s\" (expected COM1 to COM%d)",
                    portName, link::kLastPort);
    }
    if (baud != static_cast<std::int32_t>(link::kBaudRate)) {
      return refuse(link::kErrArgument, caller, "the reader speaks %u baud only, not %d",
                    link::kBaudRate, baud);
    }
    return port.open(*path, caller);
  });
}

int32_t KEYCARD_CALL MF_ExitComm(void) {
  const std::scoped_lock lock(portLock);
  port.close();
  return 0;
}

int32_t KEYCARD_CALL ML_GetDevice_Ver(int32_t /*dev*/, char* /*version*/) {
  // Callers hand over a text with no room in it, so the version is never copied out.
  return onOpenPort(__func__, [](SerialLine& line) { return link::getVersion(line); });
}

int32_t KEYCARD_CALL ML_ControlRF(int32_t /*dev*/, int32_t mode) {
  if (!fitsByte(mode)) return refuse(link::kErrArgument, __func__, "mode %d is not 0 to 255", mode);
  return onOpenPort(__func__, [&](SerialLine& line) {
    return link::controlRf(line, static_cast<std::uint8_t>(mode));
  });
}

int32_t KEYCARD_CALL ML_ControlBeep(int32_t /*dev*/, int32_t value) {
  if (!fitsByte(value)) {
    return refuse(link::kErrArgument, __func__, "beep %d is not 0 to 255", value);
  }
  return onOpenPort(__func__, [&](SerialLine& line) {
    return link::beep(line, static_cast<std::uint8_t>(value));
  });
}

int32_t KEYCARD_CALL T5557_ReadCard(int32_t /*dev*/, unsigned char* buffer24) {
  if (buffer24 == nullptr) return refuseNull(__func__, "buffer");
  return onOpenPort(__func__, [&](SerialLine& line) {
    link::KeyCardImage image{};
    const std::int32_t result = drivers::readKeyCard(line, image);
    if (result == 0) std::memcpy(buffer24, image.data(), image.size());
    return result;
  });
}

int32_t KEYCARD_CALL T5557_WriteCard(int32_t /*dev*/, unsigned char* buffer24) {
  const char* const caller = __func__;
  if (buffer24 == nullptr) return refuseNull(caller, "buffer");
  return onOpenPort(caller, [&](SerialLine& line) {
    link::KeyCardImage image{};
    std::memcpy(image.data(), buffer24, image.size());
    return drivers::writeKeyCard(line, image, caller);
  });
}

int32_t KEYCARD_CALL EM4150_WriteBlock(int32_t /*dev*/, int32_t block, unsigned char* data4) {
  const char* const caller = __func__;
  if (data4 == nullptr) return refuseNull(caller, "data");
  if (!drivers::isWritableEm4469Word(block)) {
    return refuse(link::kErrArgument, caller,
                  "word %d cannot be written (0 to %u, but not the UID word %u)", block,
                  link::kEm4469WordCount - 1U, link::kEm4469UidWord + 0U);
  }
  return onOpenPort(caller, [&](SerialLine& line) {
    link::ProximityBlock data{};
    std::memcpy(data.data(), data4, data.size());
    return drivers::writeDataWord(line, static_cast<std::uint8_t>(block), data, caller);
  });
}

int32_t KEYCARD_CALL EM4150_ReadBlock(int32_t /*dev*/, int32_t block, unsigned char* data4) {
  if (data4 == nullptr) return refuseNull(__func__, "data");
  if (!drivers::isEm4469Word(block)) {
    return refuse(link::kErrArgument, __func__, "word %d does not exist (0 to %u)", block,
                  link::kEm4469WordCount - 1U);
  }
  return onOpenPort(__func__, [&](SerialLine& line) {
    link::ProximityBlock data{};
    const std::int32_t result = drivers::readDataWord(line, static_cast<std::uint8_t>(block), data);
    if (result == 0) std::memcpy(data4, data.data(), data.size());
    return result;
  });
}
