#include "engine/net/set_cookie.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(CookieDateTest, ReadsTheFormsServersSendAndRejectsImpossibleDates) {
    constexpr int64_t kNov1994 = 784111777;  // 1994-11-06 08:49:37 UTC
    struct Case {
        const char* text;
        std::optional<int64_t> expected;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", kNov1994},
        {"Sunday, 06-Nov-94 08:49:37 GMT", kNov1994},
        {"Sun Nov  6 08:49:37 1994", kNov1994},
        {"06 nov 1994 8:49:37", kNov1994},
        {"Wed, 09 Jun 2021 10:18:14 GMT", 1623233894},
        {"Thu, 01-Jan-70 00:00:00 GMT", 0},
        {"Sat, 01 Jan 2000 00:00:00 GMT", 946684800},
        {"Mon, 01 Jan 30 00:00:00 GMT", 1893456000},  // two digits below 70: 20xx
        {"Thu, 29 Feb 2024 12:00:00 GMT", 1709208000},
        {"Fri, 30 Feb 2024 12:00:00 GMT", std::nullopt},
        {"Sun, 06 Nov 1994", std::nullopt},           // no time
        {"Sun, 32 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
        {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1600 08:49:37 GMT", std::nullopt},
        {"Sun, 123 Nov 1994 08:49:37 GMT", std::nullopt},  // three-digit day is no day
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCookieDate(c.text), c.expected) << c.text;
}

TEST(SetCookieTest, ReadsNameValueAndTheAttributesThatMatter) {
    auto cookie = ParseSetCookie(
        " sid = a b ; Path=/app; Domain=.Example.COM; Expires=Sun, 06 Nov 1994 08:49:37 GMT;"
        " Max-Age=60; Secure; HttpOnly; SameSite=Lax; Unknown");
    ASSERT_TRUE(cookie);
    EXPECT_EQ(cookie->name, "sid");
    EXPECT_EQ(cookie->value, "a b");
    EXPECT_EQ(cookie->path, "/app");
    EXPECT_EQ(cookie->domain, "example.com");
    EXPECT_EQ(cookie->expires, 784111777);
    EXPECT_EQ(cookie->max_age, 60);
    EXPECT_TRUE(cookie->secure);
    EXPECT_TRUE(cookie->http_only);

    auto plain = ParseSetCookie("k=v");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->domain || plain->path || plain->expires || plain->max_age);
    EXPECT_FALSE(plain->secure || plain->http_only);
}

TEST(SetCookieTest, IgnoresAttributesThatDoNotParseAndLetsTheLastOneWin) {
    struct Case {
        const char* header;
        std::optional<std::string> domain;
        std::optional<std::string> path;
        std::optional<int64_t> max_age;
        std::optional<int64_t> expires;
    } cases[] = {
        {"a=1; Path=relative", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a=1; Path=/x; Path=/y", std::nullopt, "/y", std::nullopt, std::nullopt},
        {"a=1; Path=/x; Path=", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a=1; Domain=", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a=1; Domain=.", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a=1; Max-Age=1x", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a=1; Max-Age=-5", std::nullopt, std::nullopt, -5, std::nullopt},
        {"a=1; max-age=0", std::nullopt, std::nullopt, 0, std::nullopt},
        {"a=1; expires=never", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a=1;EXPIRES=Thu, 01 Jan 1970 00:00:01 GMT", std::nullopt, std::nullopt, std::nullopt, 1},
    };
    for (const Case& c : cases) {
        auto cookie = ParseSetCookie(c.header);
        ASSERT_TRUE(cookie) << c.header;
        EXPECT_EQ(cookie->domain, c.domain) << c.header;
        EXPECT_EQ(cookie->path, c.path) << c.header;
        EXPECT_EQ(cookie->max_age, c.max_age) << c.header;
        EXPECT_EQ(cookie->expires, c.expires) << c.header;
    }
}

TEST(SetCookieTest, RefusesWhatCannotBeACookie) {
    const std::string big(kMaxCookieBytes, 'v');
    for (const std::string& header : {std::string("novalue"), std::string("=v"), std::string(" ; a=1"),
                                      std::string("a=1\tb"), std::string("a\n=1"), "k=" + big}) {
        EXPECT_FALSE(ParseSetCookie(header)) << header;
    }
    EXPECT_TRUE(ParseSetCookie("k=" + big.substr(1)));
    EXPECT_TRUE(ParseSetCookie("k="));  // an empty value is a value
}

}  // namespace
}  // namespace fw
