#include "engine/content/source_set.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fw {
namespace {

using ::testing::ElementsAreArray;

TEST(SourceSet, TakesTheUrlOfEachCandidate) {
    const struct {
        const char* value;
        std::vector<std::string> urls;
    } cases[] = {
        {"a.jpg", {"a.jpg"}},
        {"a.jpg 1x, b.jpg 2x", {"a.jpg", "b.jpg"}},
        {"\n  s.jpg 480w,\n  l.jpg 800w\n", {"s.jpg", "l.jpg"}},
        // Commas end a URL only at its end; inside, they belong to it.
        {"a.jpg,b.jpg 2x", {"a.jpg,b.jpg"}},
        {"a.jpg,, b.jpg", {"a.jpg", "b.jpg"}},
        {"data:image/png;base64,AA== 1x, b.png 2x", {"data:image/png;base64,AA==", "b.png"}},
        // Descriptors run to a comma outside parentheses.
        {"a.jpg 1x (x, y), b.jpg", {"a.jpg", "b.jpg"}},
        {"", {}},
        {" , ,, ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string_view value = c.value;
        std::vector<std::string> urls;
        for (std::string_view url : SourceSetUrls(value)) {
            // Each URL is a piece of the value itself, for rewriting in place.
            ASSERT_GE(url.data(), value.data());
            ASSERT_LE(url.data() + url.size(), value.data() + value.size());
            urls.emplace_back(url);
        }
        EXPECT_THAT(urls, ElementsAreArray(c.urls));
    }
}

TEST(SourceSet, LinksKeepTheirEndCommas) {
    EXPECT_EQ(SourceSetSafe(",a,"), "%2Ca%2C");
    EXPECT_EQ(SourceSetSafe("a,b.jpg"), "a,b.jpg");
    EXPECT_EQ(SourceSetUrls(SourceSetSafe("d/,x,.jpg,") + " 2x").front(), "d/,x,.jpg%2C");
}

}  // namespace
}  // namespace fw
