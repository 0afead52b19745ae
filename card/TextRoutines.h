// The window's four text routines: hex digits and packed BCD as text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace keycard {

// Two capital hex digits for each of the first wrlen bytes of Source (none when wrlen <= 0;
// a wrlen beyond Source stops at its end).
std::u16string MyHexToStr(std::span<const std::uint8_t> Source, std::int32_t wrlen);
// The first two characters read as hex digits; only 0-9 and A-F count, anything else
// (lowercase letters included, or a missing character) counts as 0.
std::uint8_t MyStrToByte(std::u16string_view NumStr);
// "0607181200" -> "06-07-18 12:00"; missing characters are left out, separators always stay.
std::u16string MyFormatDate(std::u16string_view digits);
// "2359" -> "23:59".
std::u16string MyFormatTime(std::u16string_view digits);

}  // namespace keycard
