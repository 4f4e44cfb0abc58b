#include "common/DayNumber.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace rowsmith {

namespace {

// 30 December 1899, the day number 0.
constexpr std::chrono::sys_days kDayZero =
    std::chrono::year{1899} / std::chrono::December / std::chrono::day{30};

}  // namespace

double dayNumberOf(const CalendarDate& date) {
  const std::chrono::sys_days days = std::chrono::year{date.year} /
                                     std::chrono::month{static_cast<unsigned>(date.month)} /
                                     std::chrono::day{static_cast<unsigned>(date.day)};
  return static_cast<double>((days - kDayZero).count());
}

CalendarDate calendarDateOf(double dayNumber) {
  const auto whole = static_cast<int>(std::floor(dayNumber));
  const std::chrono::year_month_day date{kDayZero + std::chrono::days{whole}};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day()))};
}

double currentDayNumber() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  return dayNumberOf({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday}) + seconds / 86400.0;
}

double todayDayNumber() { return std::floor(currentDayNumber()); }

}  // namespace rowsmith
