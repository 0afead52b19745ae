// A Mifare Classic (or compatible) card on a PC/SC contactless reader that takes the storage-card
// commands (ACS, Identiv/SCM and HID OMNIKEY readers among them), through pcscd. Not thread-safe:
// the driver makes every call from its one PC/SC worker thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "drivers/MSRD_MIF/MifareReader.h"
#include "drivers/MSRD_MIF/PcscLibrary.h"
#include "drivers/MSRD_MIF/PcscReaderPick.h"

namespace keycard::drivers {

class PcscMifareReader final : public MifareReader {
 public:
  using Clock = std::chrono::steady_clock;

  // `library` stands in for libpcsclite where given (tests); otherwise open() loads it.
  explicit PcscMifareReader(const PcscLibrary* library = nullptr) : pcsc_(library) {}
  ~PcscMifareReader() override;

  // Names the operation in what goes to stderr, and bounds it: no PC/SC call starts after
  // `deadline`, and waits end by then.
  void beginOperation(const char* caller, Clock::time_point deadline);
  // Loads the library, reaches pcscd and takes the first reader whose name contains
  // `nameContains`; with no name, the reader holding a card, else the first contactless one.
  // 0, or kErrPort after one stderr line that says why.
  std::int32_t open(const std::string& nameContains);
  // Lets the card go; reset after the card refused a command, so that the next operation finds
  // it afresh (a Mifare card that refused a key answers nothing more until it is selected again).
  void releaseCard();

  std::int32_t selectCard(SelectedCard& card) override;
  std::int32_t authenticateKeyA(std::uint8_t block, const MifareKey& key) override;
  std::int32_t readBlock(std::uint8_t block, link::MifareBlock& data) override;
  std::int32_t writeBlock(std::uint8_t block, const link::MifareBlock& data) override;
  // Through the card when one is in the field, otherwise as an escape command to the reader.
  std::int32_t beep(std::uint8_t value) override;

 private:
  // The reader "pcsc" with no name means, among those pcscd lists.
  std::int32_t chooseReader(std::vector<ListedReader>& readers);
  std::int32_t waitForCard();
  // Waits out another program that holds the card, until shortly before the deadline.
  std::int32_t connectCard();
  // Into the reader in the first form it takes, the one that worked last time first.
  std::int32_t loadKey(const MifareKey& key);
  // Whether the card has left the field; with `wait`, gives pcscd the time to notice.
  bool cardWentAway(bool wait = true);
  // The card's reply to `command`: its data and status word (0x9000 for success).
  std::int32_t transmit(std::span<const std::uint8_t> command, std::vector<std::uint8_t>& data,
                        std::uint16_t& status);
  // The error code for a failed PC/SC call, after a stderr line where the code alone would not
  // tell an operator what to do.
  std::int32_t failed(LONG result, const char* call);
  // kErrNoCard when the card has left (a reader answers for a card that is gone), otherwise
  // kErrReader after a stderr line naming what the reader refused and its status word.
  std::int32_t refused(const char* what, std::uint16_t status);
  DWORD millisecondsLeft(std::chrono::milliseconds atMost) const;
  void say(const std::string& text) const;

  const PcscLibrary* pcsc_ = nullptr;
  bool hasContext_ = false;
  SCARDCONTEXT context_ = 0;
  std::string readerName_;
  bool connected_ = false;
  SCARDHANDLE card_ = 0;
  DWORD protocol_ = 0;
  bool resetOnRelease_ = false;
  bool keyLoaded_ = false;  // the reader holds loadedKey_ for this connection
  MifareKey loadedKey_{};
  // The way of loading keys this reader took (an index into the forms tried), kept while open.
  std::optional<std::size_t> keyForm_;
  const char* caller_ = "auto_open";
  Clock::time_point deadline_ = Clock::time_point::max();
};

}  // namespace keycard::drivers
