// Which PC/SC reader "pcsc" (no name given) means. A two-slot reader lists its contact slot
// beside the contactless one, often first: the reader holding a card is the one the operator
// means; with none holding one, a contactless reader.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace keycard::drivers {

struct ListedReader {
  std::string name;
  bool holdsCard = false;
};

// Whether the reader's name says it is a contactless slot: "PICC", "Contactless", or "CL" on its
// own or ending a model number.
bool looksContactless(const std::string& name);

// The index of the first reader holding a card; else of the first that looks contactless; else 0.
// `readers` is not empty.
std::size_t pickPcscReader(const std::vector<ListedReader>& readers);

}  // namespace keycard::drivers
