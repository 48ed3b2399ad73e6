// Sets the TZ time zone for as long as it lives, then puts back the one the
// process had (also when an assertion ends the test early).
#pragma once

#include <time.h>

#include <cstdlib>
#include <string>

namespace fwtest {

class ZoneScope {
public:
    explicit ZoneScope(const char* tz) {
        if (const char* old = std::getenv("TZ")) saved_ = old, had_ = true;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (had_) {
            ::setenv("TZ", saved_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    std::string saved_;
    bool had_ = false;
};

}  // namespace fwtest
