#include "drivers/MSRD_MIF/ReaderChoice.h"

#include <string_view>

namespace keycard::drivers {

std::optional<ReaderChoice> parseReaderChoice(const char* value) {
  const std::string_view text = value == nullptr ? "" : value;
  if (text.empty()) return ReaderChoice{};
  if (text == "pn532") return ReaderChoice{.pcsc = false, .nameContains = {}, .pn532 = true};
  constexpr std::string_view kPcsc = "pcsc";
  if (text == kPcsc) return ReaderChoice{.pcsc = true, .nameContains = {}};
  if (text.starts_with(kPcsc) && text[kPcsc.size()] == ':') {
    return ReaderChoice{.pcsc = true, .nameContains = std::string(text.substr(kPcsc.size() + 1))};
  }
  return std::nullopt;
}

}  // namespace keycard::drivers
