#include "card/AsciiForms.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <span>

namespace keycard {
namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Unicode 14's format characters (category Cf): they show as nothing.
constexpr std::array<Range, 21> kFormatCharacters{{
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x13438}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
}};

// Unicode 14's space separators (category Zs) but the ASCII space itself.
constexpr std::array<Range, 6> kSpaces{{
    {0x00A0, 0x00A0},
    {0x1680, 0x1680},
    {0x2000, 0x200A},
    {0x202F, 0x202F},
    {0x205F, 0x205F},
    {0x3000, 0x3000},
}};

// The zero of every run of ten decimal digits (category Nd) in Unicode 14 but ASCII's: each
// script's digits 0-9 follow their zero.
constexpr std::array<char32_t, 65> kDigitZeros{
    0x0660,  0x06F0,  0x07C0,  0x0966,  0x09E6,  0x0A66,  0x0AE6,  0x0B66,  0x0BE6,  0x0C66,
    0x0CE6,  0x0D66,  0x0DE6,  0x0E50,  0x0ED0,  0x0F20,  0x1040,  0x1090,  0x17E0,  0x1810,
    0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,  0xA8D0,
    0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066, 0x110F0,
    0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0, 0x11950,
    0x11C50, 0x11D50, 0x11DA0, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8, 0x1D7E2, 0x1D7EC,
    0x1D7F6, 0x1E140, 0x1E2F0, 0x1E950, 0x1FBF0,
};

// The full-width forms block mirrors ASCII 0x21-0x7E at 0xFF01-0xFF5E; its digits are among the
// decimal digits above.
constexpr char32_t kFullWidthOffset = U'\uFF01' - U'!';

bool inRanges(std::span<const Range> ranges, char32_t c) {
  return std::any_of(ranges.begin(), ranges.end(),
                     [c](const Range& range) { return c >= range.first && c <= range.last; });
}

bool isFieldCharacter(char32_t ascii) {
  return (ascii >= U'A' && ascii <= U'F') || (ascii >= U'a' && ascii <= U'f') || ascii == U'+' ||
         ascii == U'-' || ascii == U'.' || ascii == U':';
}

char32_t asciiForm(char32_t c) {
  if (inRanges(kSpaces, c)) return U' ';
  // The last zero at or below c: c is its digit when it lies within ten of it.
  const auto zero = std::upper_bound(kDigitZeros.begin(), kDigitZeros.end(), c);
  if (zero != kDigitZeros.begin() && c - *std::prev(zero) < 10) {
    return U'0' + (c - *std::prev(zero));
  }
  if (c >= U'\uFF01' && c <= U'\uFF5E' && isFieldCharacter(c - kFullWidthOffset)) {
    return c - kFullWidthOffset;
  }
  return c;
}

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void append(std::u16string& text, char32_t c) {
  if (c < 0x10000) {
    text.push_back(static_cast<char16_t>(c));
    return;
  }
  c -= 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

}  // namespace

std::u16string withAsciiForms(std::u16string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    // A lone surrogate stays as it is: it is no character, and no field reads it.
    if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (inRanges(kFormatCharacters, c)) continue;
    append(result, asciiForm(c));
  }
  return result;
}

}  // namespace keycard
