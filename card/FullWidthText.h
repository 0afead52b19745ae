// What a Chinese, Japanese or Korean input method types in full-width mode, as the ASCII the
// fields are read in. Only the characters a typed field can use are mapped: digits, the hex
// letters A-F and a-f, the signs, the period, the colon and the ideographic space; every other
// character stays as it is, so a text the fields refuse is still refused.
#pragma once

#include <string>
#include <string_view>

namespace keycard {

// Character for character: the text keeps its length and every position.
std::u16string withAsciiForms(std::u16string_view text);

}  // namespace keycard
