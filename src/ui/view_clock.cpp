#include "ui/view_clock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <QDateTime>

namespace pathmere {
namespace {

constexpr double kSecondsPerDay = 86400.0;
// 1970-01-01 as a day number.
constexpr double kUnixEpochDayNumber = 25569.0;

// The instant in whole milliseconds, as the clock text rounds it: a day
// number a hair before a change of the clocks reads as the change.
int64_t Milliseconds(double dayNumber) { return std::llround(dayNumber * kSecondsPerDay * 1000.0); }

}  // namespace

QString ZoneText(double utcDayNumber) {
  int64_t seconds = 0;
  if (!UtcOffsetSeconds(utcDayNumber, &seconds)) return QStringLiteral("UTC");
  const qint64 unixMilliseconds = Milliseconds(utcDayNumber) - Milliseconds(kUnixEpochDayNumber);
  const QString name = QDateTime::fromMSecsSinceEpoch(unixMilliseconds, Qt::LocalTime).timeZoneAbbreviation();
  // POSIX zones without a name give their offset as "+0530".
  const bool named =
      !name.isEmpty() && std::all_of(name.begin(), name.end(), [](QChar c) { return c.isLetter(); });
  if (named) return name;
  if (seconds == 0) return QStringLiteral("UTC");
  const int64_t minutes = std::abs(seconds) / 60;
  return QStringLiteral("UTC%1%2:%3")
      .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// The day number keeps eight decimals (under a millisecond), so it is
// rounded to the millisecond first, then the seconds are cut as the track
// file cuts them.
QString ClockText(double dayNumber) {
  const double fraction = std::fmod(std::max(dayNumber, 0.0), 1.0);
  const long milliseconds = std::lround(std::isfinite(fraction) ? fraction * kSecondsPerDay * 1000.0 : 0.0);
  const long whole = milliseconds / 1000 % 86400;
  return QStringLiteral("%1:%2:%3")
      .arg(whole / 3600, 2, 10, QLatin1Char('0'))
      .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString LocalClockText(double utcDayNumber) {
  return ClockText(LocalDayNumber(utcDayNumber)) + QLatin1Char(' ') + ZoneText(utcDayNumber);
}

QString UtcClockText(double utcDayNumber) { return ClockText(utcDayNumber) + QStringLiteral(" UTC"); }

QString BothClocksText(double utcDayNumber) {
  return LocalClockText(utcDayNumber) + QStringLiteral(" (") + UtcClockText(utcDayNumber) + QLatin1Char(')');
}

}  // namespace pathmere
