// Local-time conversions through one process-wide lock. The C library keeps
// the time-zone state in globals that mktime and localtime_r refresh from TZ;
// it locks them internally, but thread checkers cannot see that lock, so
// every caller in our code goes through here.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace platform {

// The local-time fields of `t`.
std::tm LocalTime(std::time_t t);

// The calendar time of local-time `fields` (tm_isdst as given; -1 lets the
// system decide daylight saving). nullopt when the fields name no
// representable time (mktime's -1).
std::optional<std::time_t> MakeLocalTime(std::tm fields);

// "hh:mm:ss " of the local time now: the stamp that starts a line of the
// programs' own logs and progress.
std::string TimeOfDayStamp();

}  // namespace platform
