#include "engine/content/link_values.h"

#include <string>

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(LinkValues, ResolvesOnlyValuesOfKnownSchemes) {
    ParsedUrl base;
    base.Parse("http://h/d/p.htm");
    const struct {
        const char* value;
        const char* resolved;  // nullptr: not a link
    } cases[] = {
        {"x.htm", "http://h/d/x.htm"},
        {"../up.htm?q=1#f", "http://h/up.htm?q=1"},
        {"HTTPS://S/a", "https://s/a"},
        {"Mailto:me@h", "mailto:me@h"},
        {"ftp://f/file", "ftp://f/file"},
        {"mailto:me@h", "mailto:me@h"},
        {"wiki/File:x.png", "http://h/d/wiki/File:x.png"},
        {"data:image/png;base64,AAAA", nullptr},
        {"tel:+123", nullptr},
        {"about:blank", nullptr},
        {"javascript:go('x.htm')", nullptr},
        {" blob:http://h/x", nullptr},
    };
    for (const auto& c : cases) {
        ParsedUrl link;
        const bool resolved = ResolveLink(base, c.value, &link);
        EXPECT_EQ(resolved, c.resolved != nullptr) << c.value;
        if (resolved && c.resolved) {
            EXPECT_STREQ(link.Text(), c.resolved) << c.value;
        }
    }
}

// A value a URL cannot hold whole is no link rather than another address.
TEST(LinkValues, ValueLongerThanAUrlIsNoLink) {
    ParsedUrl base;
    base.Parse("http://h/d/p.htm");
    ParsedUrl link;
    const std::string longest(ParsedUrl::kTextCapacity, 'x');
    EXPECT_TRUE(ResolveLink(base, longest, &link));
    EXPECT_FALSE(ResolveLink(base, longest + "y", &link));
}

TEST(LinkValues, StoredPathsAreEscapedForPagesAndBack) {
    const std::string raw = "h/it's #1 (100%)?\t\"<x>\\.htm";
    const std::string escaped = EscapeLocalPath(raw);
    EXPECT_EQ(escaped, "h/it%27s%20%231%20%28100%25%29%3F%09%22%3Cx%3E%5C.htm");
    EXPECT_EQ(UnescapeLocalPath(escaped), raw);
    EXPECT_EQ(EscapeLocalPath("h/d/\xc3\xa9t\xc3\xa9.htm"), "h/d/\xc3\xa9t\xc3\xa9.htm");
    EXPECT_EQ(UnescapeLocalPath("a%2x%4"), "a%2x%4");  // not escapes: kept
    EXPECT_EQ(EscapeUrlForPage("http://h/a b\"<c>?q=1&r='2'#f"),
              "http://h/a%20b%22%3Cc%3E?q=1&r='2'#f");
}

}  // namespace
}  // namespace fw
