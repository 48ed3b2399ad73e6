#include "app/core/html_output.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(HtmlOutputTest, TextCannotAddMarkup) {
    struct Case {
        const char* text;
        const char* html;
    } cases[] = {
        {"Plain title", "Plain title"},
        {"<script>x</script>", "&lt;script&gt;x&lt;/script&gt;"},
        {"Say \"hi\"", "Say &quot;hi&quot;"},
        {"Tom & Jerry", "Tom &amp; Jerry"},
        {"a&b=c;", "a&amp;b=c;"},
        // Titles keep the character references their page wrote.
        {"Tom &amp; Jerry", "Tom &amp; Jerry"},
        {"&#169; 2024 &#x263A;", "&#169; 2024 &#x263A;"},
        {"& ; &; &#;", "&amp; ; &amp;; &amp;#;"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
    };
    for (const auto& c : cases) EXPECT_EQ(HtmlText(c.text), c.html) << c.text;
}

TEST(HtmlOutputTest, LinkTargetsStayOneAttributeAndMeanTheSame) {
    struct Case {
        const char* file;
        const char* target;
    } files[] = {
        {"127.0.0.1/index.html", "127.0.0.1/index.html"}, {"host/a b/c.html", "host/a%20b/c.html"},
        {"host/say\"hi\".html", "host/say%22hi%22.html"}, {"host/100%.html", "host/100%25.html"},
        {"host/a#b?c.html", "host/a%23b%3Fc.html"},       {"host/x&y.html", "host/x&amp;y.html"},
        {"host/<b>.html", "host/%3Cb%3E.html"},           {"c:/x.html", "c%3A/x.html"},
        {"host/caf\xc3\xa9.html", "host/caf%C3%A9.html"},
    };
    for (const auto& c : files) EXPECT_EQ(FileLinkTarget(c.file), c.target) << c.file;
    struct UrlCase {
        const char* url;
        const char* target;
    } urls[] = {
        {"http://example.org/a?b=1&c=2#top", "http://example.org/a?b=1&amp;c=2#top"},
        {"http://example.org/a%20b", "http://example.org/a%20b"},
        {"http://example.org/\"><script>", "http://example.org/%22%3E%3Cscript%3E"},
        {"http://example.org/a b", "http://example.org/a%20b"},
        {"http://example.org/caf\xc3\xa9", "http://example.org/caf%C3%A9"},
    };
    for (const auto& c : urls) EXPECT_EQ(UrlLinkTarget(c.url), c.target) << c.url;
}

}  // namespace
}  // namespace corvalin
