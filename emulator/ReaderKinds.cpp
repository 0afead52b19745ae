#include "emulator/ReaderKinds.h"

namespace keycard::emulator {

std::optional<ReaderKind> parseReaderKind(std::string_view name) {
  if (name == "proximity") return ReaderKind::Proximity;
  if (name == "mifare") return ReaderKind::Mifare;
  if (name == "pn532") return ReaderKind::Pn532;
  return std::nullopt;
}

std::optional<ReaderFamily> parseReaderFamily(std::string_view name) {
  if (name == "acs") return ReaderFamily::Acs;
  if (name == "identiv") return ReaderFamily::Identiv;
  if (name == "omnikey") return ReaderFamily::Omnikey;
  return std::nullopt;
}

}  // namespace keycard::emulator
