#include "engine/filter/filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

TEST(FilterTest, DefaultsOfANewFilter) {
    Filter filter;
    EXPECT_EQ(filter.type, FilterType::Url);
    EXPECT_EQ(filter.match, MatchKind::Contains);
    EXPECT_TRUE(filter.include);
    EXPECT_FALSE(filter.case_sensitive);
    EXPECT_FALSE(filter.stay_on_site || filter.stay_in_dir);
    EXPECT_TRUE(filter.data.empty());
}

TEST(FilterTest, DecodesStoredForms) {
    using T = FilterType;
    using K = MatchKind;
    const struct {
        char type_letter;
        const char* text;
        T type;
        K match;
        bool include, case_sensitive, on_site, in_dir;
        const char* data;
        int64_t size_limit;
    } cases[] = {
        {'U', "", T::Url, K::Contains, true, false, false, false, "", 0},
        {'U', "E", T::Url, K::Contains, true, false, false, false, "", 0},
        {'M', "I", T::ContentType, K::Contains, true, false, false, false, "", 0},
        {'U', "EIPcgi-bin", T::Url, K::Contains, false, false, false, false, "cgi-bin", 0},
        {'U', "ISFHello", T::Url, K::Equals, true, true, false, false, "Hello", 0},
        {'U', "IIBHello", T::Url, K::BeginsWith, true, false, false, false, "hello", 0},
        {'M', "EIEText/Html", T::ContentType, K::EndsWith, false, false, false, false,
         "text/html", 0},
        {'U', "IIXabc", T::Url, K::Contains, true, false, false, false, "abc", 0},
        {'U', "xsPabc", T::Url, K::Contains, true, false, false, false, "abc", 0},
        {'M', "IS", T::ContentType, K::Contains, true, true, false, false, "", 0},
        {'U', "SWww.Example.com", T::Url, K::Contains, true, false, true, false,
         "www.example.com", 0},
        {'U', "Dh.com/A/b", T::Url, K::Contains, true, false, false, true, "h.com/a/b", 0},
        // Stay filters of the default set have no data and stay stay filters.
        {'U', "S", T::Url, K::Contains, true, false, true, false, "", 0},
        {'U', "D", T::Url, K::Contains, true, false, false, true, "", 0},
        {'S', "1000", T::Size, K::Contains, true, false, false, false, "", 1000},
        {'S', "7", T::Size, K::Contains, true, false, false, false, "", 7},
        {'S', "", T::Size, K::Contains, true, false, false, false, "", 0},
        {'Z', "IIPGIF,,jpg,", T::Extensions, K::Contains, true, false, false, false, "gif,,jpg,",
         0},
        {'X', "EIPx", static_cast<T>('X'), K::Contains, false, false, false, false, "x", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.type_letter) + " " + c.text);
        Filter f = DecodeFilter(c.type_letter, c.text);
        EXPECT_EQ(f.type, c.type);
        EXPECT_EQ(f.match, c.match);
        EXPECT_EQ(f.include, c.include);
        EXPECT_EQ(f.case_sensitive, c.case_sensitive);
        EXPECT_EQ(f.stay_on_site, c.on_site);
        EXPECT_EQ(f.stay_in_dir, c.in_dir);
        EXPECT_EQ(f.data, c.data);
        EXPECT_EQ(f.size_limit, c.size_limit);
    }
}

TEST(FilterTest, ExtensionListDropsEmptyItems) {
    Filter f = DecodeFilter('Z', "IIP,GIF,,jpg,");
    std::vector<std::string_view> expected = {"gif", "jpg"};
    EXPECT_EQ(f.Extensions(), expected);
    EXPECT_TRUE(DecodeFilter('Z', "IIP,,").Extensions().empty());
}

TEST(FilterTest, StoredFormsSurviveAReadAndWrite) {
    const struct {
        char type_letter;
        const char* text;
    } cases[] = {
        {'U', "EIPcgi-bin"}, {'U', "ISFHello"}, {'U', "IIBabc"},  {'M', "EIEtext/html"},
        {'Z', "IIPgif,jpg"}, {'S', "1048576"},  {'S', "5"},       {'U', "Sh.com"},
        {'U', "Dh.com/a"},   {'U', "S"},        {'U', "IIP"},     {'X', "ISFq"},
    };
    for (const auto& c : cases) {
        char type_letter = 0;
        std::string text;
        EncodeFilter(DecodeFilter(c.type_letter, c.text), &type_letter, &text);
        EXPECT_EQ(type_letter, c.type_letter) << c.text;
        EXPECT_EQ(text, c.text);
    }
}

TEST(FilterTest, EncodesFiltersMadeInMemory) {
    auto encode = [](const Filter& f) {
        char type_letter = 0;
        std::string text;
        EncodeFilter(f, &type_letter, &text);
        return std::string(1, type_letter) + " " + text;
    };
    Filter f;
    f.type = FilterType::ContentType;
    f.data = "image";
    f.match = MatchKind::BeginsWith;
    f.include = false;
    EXPECT_EQ(encode(f), "M EIBimage");
    f.match = static_cast<MatchKind>(9);  // stored as Contains, as it matches
    EXPECT_EQ(encode(f), "M EIPimage");

    // A stay flag makes a U filter whatever the type; stay on site wins.
    f.stay_in_dir = true;
    EXPECT_EQ(encode(f), "U Dimage");
    f.stay_on_site = true;
    EXPECT_EQ(encode(f), "U Simage");

    Filter size;
    size.type = FilterType::Size;
    size.size_limit = 5000000000;
    size.data = "ignored";
    EXPECT_EQ(encode(size), "S 5000000000");
}

}  // namespace
}  // namespace fw
