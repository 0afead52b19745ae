// Calendar dates and times of day as an operator types them: "06-07-18 12:00", "6-7-18 9:05",
// "2006-07-18 12:00:30", "23:59". Seconds are read and checked, then left out.
#pragma once

#include <optional>
#include <string_view>

namespace keycard {

struct TimeOfDay {
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
};

struct DateTime {
  int year = 0;  // the full year: a year of one or two digits YY is 20YY
  int month = 0;
  int day = 0;
  TimeOfDay time;
};

// Year-month-day, one or more blanks, hour:minute[:second]; blanks at both ends allowed. The year
// has one, two or four digits, every other part one or two. Nothing unless the date exists.
std::optional<DateTime> readDateTime(std::u16string_view text);
// hour:minute[:second], or a whole date and time of which only the time is kept.
std::optional<TimeOfDay> readTimeOfDay(std::u16string_view text);

// 0 for a month outside 1 to 12.
int daysInMonth(int year, int month);

}  // namespace keycard
