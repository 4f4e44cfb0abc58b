#pragma once

namespace rowsmith {

// Dates as the program stores them: day numbers, the whole days since
// 30 December 1899 with the time of day as the fraction (0.5 is noon).
// "Today" and "now" are in the user's local time zone.
//
// Threading: pure functions (the clock readings aside); safe from any thread.

struct CalendarDate {
  int year = 1899;
  int month = 12;  // 1 to 12
  int day = 30;    // 1 to 31

  bool operator==(const CalendarDate&) const = default;
};

// The day number of midnight at the start of a calendar date.
double dayNumberOf(const CalendarDate& date);
// The calendar date of a day number (its whole day; the time of day is dropped).
CalendarDate calendarDateOf(double dayNumber);

// The local time now, with the time of day as the fraction.
double currentDayNumber();
// Today's local date as a whole day number.
double todayDayNumber();

}  // namespace rowsmith
