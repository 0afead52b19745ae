#include "card/DateTimeText.h"

#include <cstddef>

#include "card/TextChars.h"

namespace keycard {
namespace {

// Reads the text from left to right; every read either takes what it asks for or fails.
class Cursor {
 public:
  explicit Cursor(std::u16string_view text) : text_(text) {}

  bool atEnd() const { return pos_ == text_.size(); }

  // A run of decimal digits whose length is one of those allowed by lengthAllowed.
  template <typename LengthAllowed>
  std::optional<int> number(LengthAllowed lengthAllowed) {
    std::size_t end = pos_;
    while (end < text_.size() && isDecimalDigit(text_[end])) ++end;
    if (!lengthAllowed(end - pos_)) return std::nullopt;
    int value = 0;
    for (; pos_ < end; ++pos_) value = value * 10 + (text_[pos_] - u'0');
    return value;
  }

  std::optional<int> oneOrTwoDigits() {
    return number([](std::size_t length) { return length == 1 || length == 2; });
  }

  bool take(char16_t c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  bool takeBlanks() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    return pos_ > start;
  }

 private:
  std::u16string_view text_;
  std::size_t pos_ = 0;
};

std::optional<TimeOfDay> readTime(Cursor& cursor) {
  const auto hour = cursor.oneOrTwoDigits();
  if (!hour || *hour > 23 || !cursor.take(u':')) return std::nullopt;
  const auto minute = cursor.oneOrTwoDigits();
  if (!minute || *minute > 59) return std::nullopt;
  if (cursor.take(u':')) {
    const auto second = cursor.oneOrTwoDigits();
    if (!second || *second > 59) return std::nullopt;
  }
  return TimeOfDay{*hour, *minute};
}

std::optional<DateTime> readDate(Cursor& cursor) {
  bool fullYear = false;
  const auto year = cursor.number([&fullYear](std::size_t length) {
    fullYear = length == 4;
    return length == 1 || length == 2 || length == 4;
  });
  if (!year || !cursor.take(u'-')) return std::nullopt;
  const auto month = cursor.oneOrTwoDigits();
  if (!month || !cursor.take(u'-')) return std::nullopt;
  const auto day = cursor.oneOrTwoDigits();
  if (!day) return std::nullopt;

  DateTime date{fullYear ? *year : 2000 + *year, *month, *day, {}};
  if (date.month < 1 || date.month > 12) return std::nullopt;
  if (date.day < 1 || date.day > daysInMonth(date.year, date.month)) return std::nullopt;
  return date;
}

}  // namespace

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && leap) return 29;
  return kDays[month - 1];
}

std::optional<DateTime> readDateTime(std::u16string_view text) {
  Cursor cursor(trimBlanks(text));
  auto date = readDate(cursor);
  if (!date || !cursor.takeBlanks()) return std::nullopt;
  const auto time = readTime(cursor);
  if (!time || !cursor.atEnd()) return std::nullopt;
  date->time = *time;
  return date;
}

std::optional<TimeOfDay> readTimeOfDay(std::u16string_view text) {
  if (const auto dateTime = readDateTime(text)) return dateTime->time;
  Cursor cursor(trimBlanks(text));
  const auto time = readTime(cursor);
  if (!time || !cursor.atEnd()) return std::nullopt;
  return time;
}

}  // namespace keycard
