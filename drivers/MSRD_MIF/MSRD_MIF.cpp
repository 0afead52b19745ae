// The Mifare reader's exported operations. Each open reader has a handle above 0; handles are
// not reused, so a stale handle never reaches another reader. KEYCARD_MIFARE_READER, read by each
// auto_open, chooses the serial reader on the chosen port or a PC/SC reader; the card operations
// are the same on both.
#include "drivers/MSRD_MIF/MSRD_MIF.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "drivers/MSRD_MIF/MifareCard.h"
#include "drivers/MSRD_MIF/PcscMifareReader.h"
#include "drivers/MSRD_MIF/ReaderChoice.h"
#include "drivers/MSRD_MIF/SerialMifareReader.h"
#include "drivers/MSRD_MIF/WorkerThread.h"
#include "link/Errors.h"
#include "link/PortName.h"

namespace {

using keycard::drivers::MifareReader;
using keycard::drivers::noThrow;
using keycard::drivers::PcscMifareReader;
using keycard::drivers::refuse;
using keycard::drivers::SerialMifareReader;
using keycard::drivers::WorkerThread;
namespace link = keycard::link;
namespace drivers = keycard::drivers;

constexpr std::size_t kPortCount = 10;  // port index 0 = "COM1" ... 9 = "COM10"
// A PC/SC operation ends within this, whatever pcscd and the reader do.
constexpr std::chrono::milliseconds kPcscDeadline{1000};

struct SerialPort {
  std::int32_t handle = 0;  // 0 while closed
  SerialMifareReader reader;
};

struct PcscSlot {
  std::int32_t handle = 0;  // 0 while closed
  std::shared_ptr<PcscMifareReader> reader;
};

std::mutex readersLock;
std::array<SerialPort, kPortCount> ports;
PcscSlot pcsc;  // one PC/SC reader at a time
std::int32_t lastHandle = 0;

// Every PC/SC call runs on this thread, so that a caller can stop waiting for one that hangs.
WorkerThread& pcscWorker() {
  static WorkerThread worker;
  return worker;
}

std::int32_t newHandle() {
  lastHandle = lastHandle == std::numeric_limits<std::int32_t>::max() ? 1 : lastHandle + 1;
  return lastHandle;
}

// Lets the PC/SC reader go on the worker, after whatever it still runs for it.
void retire(std::shared_ptr<PcscMifareReader> reader) {
  if (reader) pcscWorker().post([reader = std::move(reader)]() mutable { reader.reset(); });
}

void closePcsc() {
  retire(std::move(pcsc.reader));
  pcsc = {};
}

// Runs `operation` on the PC/SC reader, within kPcscDeadline. `operation` owns what it uses:
// after the deadline the caller is gone while the worker may still be running it.
template <typename Result, typename Operation>
Result onPcscReader(const std::shared_ptr<PcscMifareReader>& reader, const char* name,
                    Operation operation) {
  const auto deadline = WorkerThread::Clock::now() + kPcscDeadline;
  auto result = pcscWorker().run(
      [reader, name, deadline, operation]() mutable {
        reader->beginOperation(name, deadline);
        Result done = operation(static_cast<MifareReader&>(*reader));
        reader->releaseCard();
        return done;
      },
      deadline);
  if (result) return *result;
  return Result{refuse(link::kErrTimeout, name, "the PC/SC reader did not answer within 1 s")};
}

// What `handle` opened: one serial port, the PC/SC reader, or nothing (both null). The caller
// holds readersLock.
struct Opened {
  SerialPort* serial = nullptr;
  PcscSlot* pcsc = nullptr;
};

Opened openedUnder(std::int32_t handle) {
  if (handle > 0) {
    for (SerialPort& port : ports) {
      if (port.handle == handle) return {&port, nullptr};
    }
    if (pcsc.handle == handle) return {nullptr, &pcsc};
  }
  return {};
}

// Runs `operation` on the reader `handle` opened, or refuses an unknown handle.
template <typename Result, typename Operation>
Result onReader(std::int32_t handle, const char* name, Operation operation) {
  const std::scoped_lock lock(readersLock);
  const Opened opened = openedUnder(handle);
  if (opened.serial != nullptr) {
    const link::OperationScope bounded = opened.serial->reader.operationScope();
    return operation(static_cast<MifareReader&>(opened.serial->reader));
  }
  if (opened.pcsc != nullptr) return onPcscReader<Result>(opened.pcsc->reader, name, operation);
  return Result{refuse(link::kErrNotOpen, name, "no reader is open under handle %d", handle)};
}

std::int32_t openSerial(std::int32_t index, const char* caller) {
  if (index < 0 || index >= static_cast<std::int32_t>(kPortCount)) {
    return refuse(link::kErrArgument, caller, "port index %d is not one of 0 (COM1) to 9 (COM10)",
                  index);
  }
  SerialPort& port = ports[static_cast<std::size_t>(index)];
  port.reader.close();
  port.handle = 0;
  const std::optional<std::string> path = link::resolvePortName("COM" + std::to_string(index + 1));
  const std::int32_t result = port.reader.open(*path, caller);
  if (result != 0) return result;
  port.handle = newHandle();
  return port.handle;
}

std::int32_t openPcsc(const std::string& nameContains, const char* caller) {
  closePcsc();
  auto reader = std::make_shared<PcscMifareReader>();
  const auto deadline = WorkerThread::Clock::now() + kPcscDeadline;
  const auto opened = pcscWorker().run(
      [reader, nameContains, deadline, caller] {
        reader->beginOperation(caller, deadline);
        return reader->open(nameContains);
      },
      deadline);
  if (!opened || *opened != 0) {
    retire(std::move(reader));
    return opened ? *opened : refuse(link::kErrPort, caller, "pcscd did not answer within 1 s");
  }
  pcsc = {newHandle(), std::move(reader)};
  return pcsc.handle;
}

// The caller's buffer address, held in the cell it passes.
unsigned char* bufferIn(const intptr_t* cell) {
  return cell == nullptr ? nullptr : reinterpret_cast<unsigned char*>(*cell);
}

std::int32_t refuseBuffer(const char* operation) {
  return refuse(link::kErrArgument, operation,
                "no card buffer: the cell or the address in it is null");
}

}  // namespace

int32_t KEYCARD_CALL auto_open(int32_t* portIndex) {
  const char* const caller = __func__;
  return noThrow([&] {
    if (portIndex == nullptr) {
      return refuse(link::kErrArgument, caller, "no port index: the cell is null");
    }
    const char* variable = std::getenv(drivers::kReaderVariable);
    const std::optional<drivers::ReaderChoice> choice = drivers::parseReaderChoice(variable);
    if (!choice) {
      return refuse(link::kErrArgument, caller, "%s=\"%s\" names no reader: leave it %s",
                    drivers::kReaderVariable, variable, drivers::kReaderForms);
    }
    const std::scoped_lock lock(readersLock);
    return choice->pcsc ? openPcsc(choice->nameContains, caller) : openSerial(*portIndex, caller);
  });
}

int32_t KEYCARD_CALL closecomm(int32_t handle) {
  return noThrow([&] {
    const std::scoped_lock lock(readersLock);
    const Opened opened = openedUnder(handle);
    if (opened.serial != nullptr) {
      opened.serial->reader.close();
      opened.serial->handle = 0;
      return 0;
    }
    if (opened.pcsc != nullptr) {
      closePcsc();
      return 0;
    }
    // Quietly: callers close 0 and a failed open's result as a matter of course.
    return static_cast<std::int32_t>(link::kErrNotOpen);
  });
}

int32_t KEYCARD_CALL dv_beep(int32_t handle, int32_t value) {
  const char* const caller = __func__;
  return noThrow([&] {
    if (value < 0 || value > 0xFF) {
      return refuse(link::kErrArgument, caller, "beep value %d is not one of 0 to 255", value);
    }
    return onReader<std::int32_t>(handle, caller, [value](MifareReader& reader) {
      return reader.beep(static_cast<std::uint8_t>(value));
    });
  });
}

int32_t KEYCARD_CALL wrkey_mif1(int32_t handle, intptr_t* bufferCell) {
  const char* const caller = __func__;
  return noThrow([&] {
    const unsigned char* buffer = bufferIn(bufferCell);
    if (buffer == nullptr) return refuseBuffer(caller);
    link::KeyCardImage image{};
    std::memcpy(image.data(), buffer, image.size());
    return onReader<std::int32_t>(handle, caller, [image](MifareReader& reader) {
      return drivers::writeMifareKeyCard(reader, image);
    });
  });
}

int32_t KEYCARD_CALL rdkey_mif1(int32_t handle, intptr_t* bufferCell) {
  const char* const caller = __func__;
  return noThrow([&] {
    unsigned char* buffer = bufferIn(bufferCell);
    if (buffer == nullptr) return refuseBuffer(caller);
    struct Read {
      std::int32_t result;
      link::KeyCardImage image{};
    };
    const Read read = onReader<Read>(handle, caller, [](MifareReader& reader) {
      Read done{0};
      done.result = drivers::readMifareKeyCard(reader, done.image);
      return done;
    });
    if (read.result == 0) std::memcpy(buffer, read.image.data(), read.image.size());
    return read.result;
  });
}
