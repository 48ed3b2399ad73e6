#include "engine/content/css_references.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fw {
namespace {

using ::testing::ElementsAreArray;

// Each reference of `text` as "value|replaced text".
std::vector<std::string> References(std::string_view text) {
    std::vector<std::string> found;
    CssReference ref;
    for (CssReferences refs(text); refs.Next(&ref);) {
        found.push_back(std::string(ref.value) + "|" +
                        std::string(text.substr(ref.begin, ref.end - ref.begin)));
    }
    return found;
}

TEST(CssReferences, FindsEveryUrlAndImportedName) {
    const struct {
        const char* text;
        std::vector<std::string> refs;
    } cases[] = {
        {"a{b:url(x.png)}", {"x.png|x.png"}},
        {"a{b:URL( \"a b.png\" )}", {"a b.png| \"a b.png\" "}},
        {"a{b:url('q.png') no-repeat,url(\"r.png\")}c{d:url(s.png)}",
         {"q.png|'q.png'", "r.png|\"r.png\"", "s.png|s.png"}},
        // A quoted value ends at its own quote, not at a ")" inside it.
        {"a{b:url(\"p(1).png\")}", {"p(1).png|\"p(1).png\""}},
        // Quotes written as entities, as a style attribute may have them.
        {"b:url(&quot;e.png&quot;)", {"e.png|&quot;e.png&quot;"}},
        {"@import \"x.css\";@import 'y.css' screen;@IMPORT url(z.css);",
         {"x.css|x.css", "y.css|y.css", "z.css|z.css"}},
        {"@import\n  \" spaced.css \";", {"spaced.css| spaced.css "}},
        // Not references: no quoted name, no end.
        {"@import x.css; @importer \"n\"", {}},
        {"a{b:url(unclosed.png}", {}},
        {"@import \"unclosed.css", {}},
        // An unclosed quote inside url(...) runs to the ")".
        {"a{b:url(\"half.png)}", {"half.png|\"half.png"}},
        {"x{a:url() b:url( )}", {"|", "| "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_THAT(References(c.text), ElementsAreArray(c.refs));
    }
}

TEST(CssReferences, ManyOpeningsWithoutAnEndAreWalkedOnce) {
    // Each opening looking for its end through the rest of the text would
    // take hours here.
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "url(\"a url(b ";
    text += "@import \"last.css\"";
    const std::vector<std::string> refs = References(text);
    ASSERT_EQ(refs.size(), 1u);
    EXPECT_EQ(refs[0], "last.css|last.css");
    // Also when a reference is found after each opening.
    text.clear();
    for (int i = 0; i < 200000; ++i) text += "url(a @import 'b'";
    EXPECT_EQ(References(text).size(), 200000u);
}

TEST(CssReferences, OnlyValuesThatNameAFileAreLinks) {
    EXPECT_TRUE(IsCssLinkValue("a.png"));
    EXPECT_FALSE(IsCssLinkValue(""));
    EXPECT_FALSE(IsCssLinkValue("#filter"));
}

}  // namespace
}  // namespace fw
