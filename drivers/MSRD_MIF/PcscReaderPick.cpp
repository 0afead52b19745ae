#include "drivers/MSRD_MIF/PcscReaderPick.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace keycard::drivers {

namespace {

// "CL" as a mark of its own or at the end of a model number ("5422CL", "3700 F CL"), not inside
// a word ("SCL011", "CLASS").
bool hasClMark(const std::string& name) {
  constexpr std::string_view kMark = "CL";
  for (std::size_t at = name.find(kMark); at != std::string::npos; at = name.find(kMark, at + 1)) {
    const std::size_t end = at + kMark.size();
    const bool startsMark = at == 0 || std::isalpha(static_cast<unsigned char>(name[at - 1])) == 0;
    const bool endsMark =
        end == name.size() || std::isalnum(static_cast<unsigned char>(name[end])) == 0;
    if (startsMark && endsMark) return true;
  }
  return false;
}

}  // namespace

bool looksContactless(const std::string& name) {
  return name.find("PICC") != std::string::npos || hasClMark(name) ||
         name.find("Contactless") != std::string::npos;
}

std::size_t pickPcscReader(const std::vector<ListedReader>& readers) {
  const auto holding = std::ranges::find_if(readers, &ListedReader::holdsCard);
  if (holding != readers.end()) return static_cast<std::size_t>(holding - readers.begin());
  const auto contactless = std::ranges::find_if(
      readers, [](const ListedReader& reader) { return looksContactless(reader.name); });
  if (contactless != readers.end()) {
    return static_cast<std::size_t>(contactless - readers.begin());
  }
  return 0;
}

}  // namespace keycard::drivers
