#include "card/AsciiForms.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace keycard {
namespace {

// Each mapped range at both ends, and its neighbours that must stay as they are; then what shows
// as a number being read as that number: invisible marks go, other spaces and every script's
// digits become ASCII's (the fields read their text through here, FieldCodecsTest shows).
TEST(AsciiForms, MapsOnlyTheCharactersATypedFieldUses) {
  // clang-format off
  const std::pair<std::u16string_view, std::u16string_view> rows[] = {
      {u"\uFF10", u"0"}, {u"\uFF19", u"9"}, {u"\uFF21", u"A"}, {u"\uFF26", u"F"}, {u"\uFF41", u"a"},
      {u"\uFF46", u"f"}, {u"\uFF0B", u"+"}, {u"\uFF0D", u"-"}, {u"\uFF0E", u"."}, {u"\uFF1A", u":"},
      {u"\u3000", u" "}, {u"\u0661", u"1"}, {u"7", u"7"}, {u"\uFF11a\u3000\uFF1A", u"1a :"},
      {u"\uFF0C", u"\uFF0C"}, {u"\uFF0F", u"\uFF0F"}, {u"\uFF1B", u"\uFF1B"},
      {u"\uFF20", u"\uFF20"}, {u"\uFF27", u"\uFF27"}, {u"\uFF40", u"\uFF40"},
      {u"\uFF47", u"\uFF47"}, {u"\uFF01", u"\uFF01"}, {u"\uFF5E", u"\uFF5E"},
      {u"\u2212", u"\u2212"}, {u"\u3001", u"\u3001"},
      {u"\u200E101", u"101"},                             // a left-to-right mark
      {u"\u00A05", u" 5"},                                // a no-break space
      {u"\u0663\u0664", u"34"},                           // Arabic-Indic digits
      {u"\U0001D7CF\U0001D7D0", u"12"},                   // mathematical digits, two units each
      {u"\u216B", u"\u216B"},                             // a Roman numeral is no digit
      {u"\uFEFF\u202E25\u202C", u"25"},                   // a byte-order mark and overrides
      {u"333\u200B033", u"333033"},                       // a zero-width space
      {u"\u0E50\u0E56-07-18\u200912:00", u"06-07-18 12:00"}, // Thai digits, a thin space
      {u"23\u2060:59", u"23:59"},                         // a word joiner
  };
  // clang-format on
  for (const auto& [typed, read] : rows) {
    EXPECT_EQ(withAsciiForms(typed), read) << "U+" << std::hex << static_cast<int>(typed[0]);
  }
}

}  // namespace
}  // namespace keycard
