#include "engine/net/http_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "tests/support/zone_scope.h"

namespace fw {
namespace {

// Runs a test under a time zone given as a POSIX rule (needs no zone files).
using fwtest::ZoneScope;

constexpr const char* kZones[] = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "PST8PDT,M3.2.0,M11.1.0"};

TEST(HttpDateTest, FormatWritesLocalFieldsUnderGmt) {
    ZoneScope utc("UTC0");
    EXPECT_EQ(HttpDate::Format(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(HttpDate::Format(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    ZoneScope berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(HttpDate::Format(784111777), "Sun, 06 Nov 1994 09:49:37 GMT");
}

TEST(HttpDateTest, ServerTextSurvivesParseAndFormatInEveryZone) {
    const char* texts[] = {
        "Sun, 06 Nov 1994 08:49:37 GMT",
        "Sat, 29 Feb 2020 23:59:59 GMT",
        "Tue, 15 Jul 2025 12:00:00 GMT",   // daylight saving time in two of the zones
        "Fri, 31 Dec 2100 01:02:03 GMT",   // beyond 32-bit time
    };
    for (const char* zone : kZones) {
        ZoneScope scope(zone);
        for (const char* text : texts) {
            std::optional<int64_t> t = HttpDate::Parse(text);
            ASSERT_TRUE(t.has_value()) << zone << " " << text;
            EXPECT_EQ(HttpDate::Format(*t), text) << zone;
        }
    }
}

TEST(HttpDateTest, ParsesFieldsAsLocalTime) {
    ZoneScope utc("UTC0");
    struct Case {
        const char* text;
        int64_t expected;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
        {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},  // RFC 850, two-digit year
        {"Sun,   06 Nov 1994 08:49:37   GMT", 784111777},
        {"Sun, 06 nov 1994 08:49:37 GMT", 784111777},  // month in any case
        {"Sun, 06 Xyz 1994 08:49:37 GMT", 757846177},  // no month name: January
        {"Sun, 06 Nov 1994 08:49:37 +0000", 784111777},  // the zone word is ignored
    };
    for (const Case& c : cases) {
        std::optional<int64_t> t = HttpDate::Parse(c.text);
        ASSERT_TRUE(t.has_value()) << c.text;
        EXPECT_EQ(*t, c.expected) << c.text;
    }
}

TEST(HttpDateTest, RejectsWhatItCannotRead) {
    ZoneScope utc("UTC0");
    const char* rejected[] = {
        "Sun Nov  6 08:49:37 1994",          // asctime: no comma
        "",                                  //
        "Sun, 06 Nov 1994 08:49 GMT",        // one colon only
        "Sun, 06 Nov 1994 084937 GMT",       // no colon
        "Sun, Nov 1994 08:49:37 GMT",        // no day
        "Sun, 06 Nov 08:49:37 GMT",          // date part "06 Nov" has no year digits
        "Sun, 06 Nov 1994 08:49:37",         // without a zone word the time is lost
        "Sun, 06Nov1994",                    // no space at all
        "Sun, 9999999999 Nov 1994 08:49:37 GMT",  // a day no calendar has
    };
    for (const char* text : rejected) {
        EXPECT_FALSE(HttpDate::Parse(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace fw
