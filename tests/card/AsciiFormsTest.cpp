#include "card/AsciiForms.h"

#include <gtest/gtest.h>

#include <utility>

namespace keycard {
namespace {

// Each mapped range at both ends, and its neighbours that must stay as they are.
TEST(AsciiForms, MapsOnlyTheCharactersATypedFieldUses) {
  const std::pair<char16_t, char16_t> rows[] = {
      {u'\uFF10', u'0'},      {u'\uFF19', u'9'},      {u'\uFF21', u'A'},
      {u'\uFF26', u'F'},      {u'\uFF41', u'a'},      {u'\uFF46', u'f'},
      {u'\uFF0B', u'+'},      {u'\uFF0D', u'-'},      {u'\uFF0E', u'.'},
      {u'\uFF1A', u':'},      {u'\u3000', u' '},      {u'\uFF0C', u'\uFF0C'},
      {u'\uFF0F', u'\uFF0F'}, {u'\uFF1B', u'\uFF1B'}, {u'\uFF20', u'\uFF20'},
      {u'\uFF27', u'\uFF27'}, {u'\uFF40', u'\uFF40'}, {u'\uFF47', u'\uFF47'},
      {u'\uFF01', u'\uFF01'}, {u'\uFF5E', u'\uFF5E'}, {u'\u2212', u'\u2212'},
      {u'\u3001', u'\u3001'}, {u'\u0661', u'1'},      {u'7', u'7'},
  };
  for (const auto& [typed, read] : rows) {
    EXPECT_EQ(withAsciiForms(std::u16string(1, typed)), std::u16string(1, read))
        << "U+" << std::hex << static_cast<int>(typed);
  }
  EXPECT_EQ(withAsciiForms(u"\uFF11a\u3000\uFF1A"), u"1a :");
}

}  // namespace
}  // namespace keycard
