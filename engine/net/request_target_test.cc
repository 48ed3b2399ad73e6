#include "engine/net/request_target.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(RequestTargetTest, EncodesWhatMayNotStandOnARequestLine) {
    struct Case {
        const char* stored;
        const char* sent;
    } cases[] = {
        {"", "/"},
        {"/a/b.html?x=1&y=2", "/a/b.html?x=1&y=2"},
        {"/caf\xC3\xA9/men\xC3\xBC.html", "/caf%C3%A9/men%C3%BC.html"},
        {"/q?name=J\xC3\xBCrgen", "/q?name=J%C3%BCrgen"},
        {"/my page.html", "/my%20page.html"},
        {"/docs/manual.html\"x", "/docs/manual.html%22x"},
        {"/<a>\\^`{|}", "/%3Ca%3E%5C%5E%60%7B%7C%7D"},
        {"/tab\there\r\nHost: evil", "/tab%09here%0D%0AHost:%20evil"},
        {"/del\x7F", "/del%7F"},
        // Escapes already there stay; a "%" that starts none is escaped.
        {"/a%20b%C3%A9.html", "/a%20b%C3%A9.html"},
        {"/100%/x%4", "/100%25/x%254"},
        {"/%zz", "/%25zz"},
        // What RFC 3986 allows passes unchanged.
        {"/-._~!$&'()*+,;=:@/?/", "/-._~!$&'()*+,;=:@/?/"},
    };
    for (const Case& c : cases) EXPECT_EQ(RequestTarget(c.stored), c.sent) << c.stored;
}

}  // namespace
}  // namespace fw
