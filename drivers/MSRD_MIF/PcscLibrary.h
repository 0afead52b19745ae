// libpcsclite, bound at run time by the first PC/SC open: the serial reader and the window need
// neither pcscd nor the library. Only the types come from its header.
#pragma once

#include <winscard.h>

#include <string>

namespace keycard::drivers {

inline constexpr char kPcscLibraryName[] = "libpcsclite.so.1";

struct PcscLibrary {
  decltype(&SCardEstablishContext) establishContext = nullptr;
  decltype(&SCardReleaseContext) releaseContext = nullptr;
  decltype(&SCardListReaders) listReaders = nullptr;
  decltype(&SCardGetStatusChange) getStatusChange = nullptr;
  decltype(&SCardConnect) connect = nullptr;
  decltype(&SCardDisconnect) disconnect = nullptr;
  decltype(&SCardStatus) status = nullptr;
  decltype(&SCardTransmit) transmit = nullptr;
  decltype(&SCardControl) control = nullptr;
  decltype(&pcsc_stringify_error) describe = nullptr;
};

// The library's operations, loaded at the first call and kept; nullptr, with the reason in
// `whyNot`, when the library or one of them is missing (a later call tries again).
const PcscLibrary* loadPcscLibrary(std::string& whyNot);

}  // namespace keycard::drivers
