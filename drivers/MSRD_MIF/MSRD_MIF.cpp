// The Mifare reader's exported operations. Each open reader has a handle above 0; handles are
// not reused, so a stale handle never reaches another reader. KEYCARD_MIFARE_READER, read by each
// auto_open, chooses the reader on the chosen port (the serial reader or a PN532 board) or a PC/SC
// reader; the card operations are the same on all of them.
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
#include "drivers/MSRD_MIF/Pn532MifareReader.h"
#include "drivers/MSRD_MIF/ReaderChoice.h"
#include "drivers/MSRD_MIF/SerialMifareReader.h"
#include "drivers/MSRD_MIF/WorkerThread.h"
#include "link/Errors.h"
#include "link/PortName.h"

namespace {

using keycard::drivers::MifareReader;
using keycard::drivers::noThrow;
using keycard::drivers::PcscMifareReader;
using keycard::drivers::Pn532MifareReader;
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
  SerialMifareReader serial;
  Pn532MifareReader pn532;
  // Which of the two is open, or answered last: a port keeps its reader, so it is asked first.
  bool onPn532 = false;

  MifareReader& reader() {
    return onPn532 ? static_cast<MifareReader&>(pn532) : static_cast<MifareReader&>(serial);
  }
  link::OperationScope operationScope() {
    return onPn532 ? pn532.operationScope() : serial.operationScope();
  }
  void close() {
    serial.close();
    pn532.close();
    handle = 0;
  }
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
    const link::OperationScope bounded = opened.serial->operationScope();
    return operation(opened.serial->reader());
  }
  if (opened.pcsc != nullptr) return onPcscReader<Result>(opened.pcsc->reader, name, operation);
  return Result{refuse(link::kErrNotOpen, name, "no reader is open under handle %d", handle)};
}

std::int32_t openOne(SerialPort& port, bool pn532, const std::string& path, const char* caller) {
  port.onPn532 = pn532;
  return pn532 ? port.pn532.open(path, caller) : port.serial.open(path, caller);
}

// The serial reader or a PN532 board, whichever answers: the one that answered on this port last
// is asked first, so an open costs one reader's silence only when the reader was changed. Neither
// kind minds the other's request: the board's frames hold no byte that starts a request of the
// serial reader, and the board skips everything before its own frame's start.
std::int32_t openEither(SerialPort& port, const std::string& name, const std::string& path,
                        const char* caller) {
  const bool firstPn532 = port.onPn532;
  std::int32_t result = openOne(port, firstPn532, path, caller);
  if (result != link::kErrTimeout && result != link::kErrFrame) return result;
  const std::int32_t first = result;
  result = openOne(port, !firstPn532, path, caller);
  if (result != link::kErrTimeout && result != link::kErrFrame) return result;
  port.onPn532 = firstPn532;
  return refuse(first == link::kErrFrame ? first : result, caller,
                "neither a serial Mifare reader nor a PN532 board answers on %s: check that the "
                "reader is plugged in and powered, and that %s is its port",
                name.c_str(), name.c_str());
}

std::int32_t openSerial(std::int32_t index, bool pn532Only, const char* caller) {
  if (index < 0 || index >= static_cast<std::int32_t>(kPortCount)) {
    return refuse(link::kErrArgument, caller, "port index %d is not one of 0 (COM1) to 9 (COM10)",
                  index);
  }
  SerialPort& port = ports[static_cast<std::size_t>(index)];
  port.close();
  const std::string name = "COM" + std::to_string(index + 1);
  const std::optional<std::string> path = link::resolvePortName(name);
  std::int32_t result =
      pn532Only ? openOne(port, true, *path, caller) : openEither(port, name, *path, caller);
  if (pn532Only && (result == link::kErrTimeout || result == link::kErrFrame)) {
    result = refuse(result, caller,
                    "no PN532 board answers on %s: check its wiring, power "
                    "and HSU switch setting, and that %s is its port",
                    name.c_str(), name.c_str());
  }
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
    return choice->pcsc ? openPcsc(choice->nameContains, caller)
                        : openSerial(*portIndex, choice->pn532, caller);
  });
}

int32_t KEYCARD_CALL closecomm(int32_t handle) {
  return noThrow([&] {
    const std::scoped_lock lock(readersLock);
    const Opened opened = openedUnder(handle);
    if (opened.serial != nullptr) {
      opened.serial->close();
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
    return onReader<std::int32_t>(handle, caller, [image, caller](MifareReader& reader) {
      return drivers::writeMifareKeyCard(reader, image, caller);
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
