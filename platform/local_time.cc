#include "platform/local_time.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex& ZoneLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

std::tm LocalTime(std::time_t t) {
    std::tm fields{};
    std::lock_guard<std::mutex> guard(ZoneLock());
    localtime_r(&t, &fields);
    return fields;
}

std::optional<std::time_t> MakeLocalTime(std::tm fields) {
    std::time_t t;
    {
        std::lock_guard<std::mutex> guard(ZoneLock());
        t = std::mktime(&fields);
    }
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

std::string TimeOfDayStamp() {
    const std::tm now = LocalTime(std::time(nullptr));
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d ", now.tm_hour, now.tm_min, now.tm_sec);
    return text;
}

}  // namespace platform
