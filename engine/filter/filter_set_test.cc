#include "engine/filter/filter_set.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/filter/site.h"
#include "platform/text.h"

namespace fw {
namespace {

// A set as the store would load it: (type letter, stored text) per row.
FilterSet Stored(std::vector<std::pair<char, const char*>> rows) {
    FilterSet set;
    for (const auto& [type_letter, text] : rows) {
        set.filters.push_back(DecodeFilter(type_letter, text));
    }
    return set;
}

TEST(FilterSetTest, Accepts) {
    const FilterSet cgi = Stored({{'U', "EIPcgi-bin"}});
    const FilterSet either = Stored({{'U', "IIP/alpha/"}, {'U', "IIP/beta/"}});
    const FilterSet site_but_private = Stored({{'U', "IIPh.com"}, {'U', "EIP/private/"}});
    const FilterSet image = Stored({{'M', "IIBimage"}});
    const FilterSet html = Stored({{'M', "IIFtext/html"}});
    const FilterSet gif = Stored({{'U', "IIE*.gif"}});
    const FilterSet sensitive = Stored({{'U', "ISPAbc"}});
    const FilterSet only = Stored({{'Z', "IIPgif,jpg"}});
    const FilterSet only_excluding = Stored({{'Z', "EIPgif,jpg"}});
    const FilterSet no_text_types = Stored({{'M', "EIPtext"}});
    const FilterSet empty;
    const struct {
        const char* name;
        const FilterSet& set;
        FilterType type;
        const char* subject;
        bool accepted;
    } cases[] = {
        {"exclude", cgi, FilterType::Url, "http://h/cgi-bin/x", false},
        {"exclude", cgi, FilterType::Url, "http://h/CGI-BIN/x", false},
        {"exclude", cgi, FilterType::Url, "http://h/x", true},
        {"includes or", either, FilterType::Url, "http://h/alpha/x", true},
        {"includes or", either, FilterType::Url, "http://h/beta/x", true},
        {"includes or", either, FilterType::Url, "http://h/gamma/x", false},
        {"exclude vetoes", site_but_private, FilterType::Url, "http://h.com/private/x", false},
        {"exclude vetoes", site_but_private, FilterType::Url, "http://h.com/x", true},
        {"exclude vetoes", site_but_private, FilterType::Url, "http://o.org/x", false},
        {"begins", image, FilterType::ContentType, "image/gif", true},
        {"begins", image, FilterType::ContentType, "text/html", false},
        {"begins", image, FilterType::ContentType, "x-image/gif", false},
        {"equals", html, FilterType::ContentType, "Text/HTML", true},
        {"equals", html, FilterType::ContentType, "text/html; charset=utf-8", false},
        {"ends", gif, FilterType::Url, "http://h/a.GIF", true},
        {"ends", gif, FilterType::Url, "http://h/a.gif.png", false},
        {"case-sensitive", sensitive, FilterType::Url, "http://h/Abc", true},
        {"case-sensitive", sensitive, FilterType::Url, "http://h/abc", false},
        {"list", only, FilterType::Extensions, "http://h/a.JPG", true},
        {"list", only, FilterType::Extensions, "http://h/a.png", false},
        {"list, exclude", only_excluding, FilterType::Extensions, "http://h/a.jpg", true},
        {"list, exclude", only_excluding, FilterType::Extensions, "http://h/a.png", false},
        {"other type", no_text_types, FilterType::Url, "http://h/text", true},
        {"other type", no_text_types, FilterType::ContentType, "text/plain", false},
        {"empty set", empty, FilterType::Url, "anything", true},
        {"empty set", empty, FilterType::ContentType, "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Accepts(c.set, c.type, c.subject), c.accepted) << c.name << ": " << c.subject;
    }
}

TEST(FilterSetTest, CaseFoldingTouchesOnlyAsciiLetters) {
    // Every byte value, in runs long enough for the word-at-a-time folding.
    for (int b = 1; b < 256; ++b) {
        const std::string subject = "Ab" + std::string(17, static_cast<char>(b)) + "Z";
        FilterSet set;
        Filter equals;
        equals.match = MatchKind::Equals;
        equals.data = platform::ToLowerAscii(subject);
        set.filters.push_back(equals);
        EXPECT_TRUE(Accepts(set, FilterType::Url, subject)) << b;
        char& c = set.filters[0].data[5];
        c = c == 'q' ? 'r' : 'q';  // now differs from the folded subject
        EXPECT_FALSE(Accepts(set, FilterType::Url, subject)) << b;
    }
}

TEST(FilterSetTest, StayOnSiteIsACaseInsensitiveContainmentTest) {
    FilterSet set = Stored({{'U', "S"}});
    BindStayFilters(&set, "http://www.Host.com/dir/index.htm");
    EXPECT_EQ(set.filters[0].data, "host.com");
    EXPECT_TRUE(Accepts(set, FilterType::Url, "http://host.com/x"));
    EXPECT_TRUE(Accepts(set, FilterType::Url, "http://WWW.HOST.COM/y"));
    // Containment: other hosts whose names hold the site pass too.
    EXPECT_TRUE(Accepts(set, FilterType::Url, "http://myhost.com.example.org/"));
    EXPECT_FALSE(Accepts(set, FilterType::Url, "http://other.org/host/"));
}

TEST(FilterSetTest, StayInDirectoryTakesTheDirectoryAndBelowOnly) {
    struct Case {
        const char* start;
        const char* subject;
        bool accepted;
    } cases[] = {
        {"http://h:8080/files/", "http://h:8080/files/", true},
        {"http://h:8080/files/", "http://h:8080/files/a.pdf", true},
        {"http://h:8080/files/", "http://h:8080/files/sub/deep/leaf.html", true},
        {"http://h:8080/files/", "https://www.h:8080/files/b.zip", true},
        {"http://h:8080/files/index.html", "http://h:8080/files/b.zip", true},
        {"http://www.Host.com/Files/", "HTTP://host.com/files/x.htm", true},
        {"http://h:8080/files/", "http://h:8080/", false},             // above
        {"http://h:8080/files/", "http://h:8080/index.html", false},   // above
        {"http://h:8080/files/", "http://h:8080/files-old/a", false},  // beside
        {"http://h:8080/files/", "http://h:8080/filesystem.html", false},
        {"http://h:8080/files/", "http://h:9090/files/a", false},  // another server
        {"http://h:8080/files/", "http://other/?from=h:8080/files/", false},
        {"http://h/", "http://h/anything/at/all", true},
        {"http://h/", "http://hx/", false},
    };
    for (const Case& c : cases) {
        FilterSet set = Stored({{'U', "D"}});
        BindStayFilters(&set, c.start);
        EXPECT_EQ(Accepts(set, FilterType::Url, c.subject), c.accepted)
            << c.start << " " << c.subject;
    }
    // Stored stay filters compare the same way whatever their match letters.
    FilterSet stored = Stored({{'U', "Dhost.com/dir/"}});
    EXPECT_TRUE(Accepts(stored, FilterType::Url, "http://HOST.com/dir/p.htm"));
    EXPECT_FALSE(Accepts(stored, FilterType::Url, "http://host.com/other/p.htm"));
}

TEST(FilterSetTest, DeletedFiltersTakeNoPart) {
    FilterSet set = Stored({{'U', "EIPcgi"}, {'U', "IIPnever"}, {'S', "10"}});
    for (Filter& f : set.filters) f.deleted = true;
    EXPECT_TRUE(Accepts(set, FilterType::Url, "http://h/cgi"));
    EXPECT_TRUE(AcceptsLength(set, 11));
    EXPECT_EQ(LongestAcceptedLength(set), std::nullopt);
}

TEST(FilterSetTest, AcceptsLength) {
    const FilterSet limits = Stored({{'S', "5000"}, {'S', "1000"}, {'U', "IIPx"}});
    EXPECT_TRUE(AcceptsLength(limits, 1000));
    EXPECT_FALSE(AcceptsLength(limits, 1001));
    EXPECT_TRUE(AcceptsLength(limits, 0));
    EXPECT_TRUE(AcceptsLength(Stored({{'U', "IIPx"}}), 1LL << 40));
    // The longest length let through is the tightest limit.
    EXPECT_EQ(LongestAcceptedLength(limits), 1000);
    EXPECT_EQ(LongestAcceptedLength(Stored({{'U', "IIPx"}})), std::nullopt);
    // A limit below 0 lets nothing through, not even an empty body.
    const FilterSet none = Stored({{'S', "-1"}});
    EXPECT_FALSE(AcceptsLength(none, 0));
    EXPECT_EQ(LongestAcceptedLength(none), -1);
}

TEST(FilterSetTest, SitesOfUrls) {
    const struct {
        const char* url;
        const char* site;
        const char* site_and_directory;
    } cases[] = {
        {"http://www.h/a/b/p.htm", "h", "h/a/b/"},
        {"http://h/p.htm", "h", "h/"},
        {"http://h", "h", "h/"},
        {"https://www.h.org:8080/a/?q=/x/y", "h.org", "h.org:8080/a/"},
        {"http://h:80/files/", "h", "h:80/files/"},
        {"http://wwwh.org/", "wwwh.org", "wwwh.org/"},
        {"mailto:me@h.org", "", ""},
        {"page.htm", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SiteOf(c.url), c.site) << c.url;
        EXPECT_EQ(SiteAndDirectoryOf(c.url), c.site_and_directory) << c.url;
    }
}

TEST(FilterSetTest, BindsStayFiltersToTheStartUrl) {
    FilterSet set = Stored({{'U', "Sold"}, {'U', "Dold"}, {'U', "IIPkeep"}, {'U', "S"}});
    BindStayFilters(&set, "http://www.h.org/a/b/index.htm");
    EXPECT_EQ(set.filters[0].data, "h.org");
    EXPECT_EQ(set.filters[1].data, "h.org/a/b/");
    EXPECT_EQ(set.filters[2].data, "keep");
    EXPECT_EQ(set.filters[3].data, "h.org");

    // Without a host the whole start URL stands in.
    BindStayFilters(&set, "mailto:me@h.org");
    EXPECT_EQ(set.filters[0].data, "mailto:me@h.org");
    EXPECT_EQ(set.filters[1].data, "mailto:me@h.org");
}

TEST(FilterSetTest, DirectoryFilterDropsTheFirstSiteFilter) {
    auto flags = [](const FilterSet& set) {
        std::string out;
        for (const Filter& f : set.filters) out += f.stay_on_site ? 'S' : f.stay_in_dir ? 'D' : 'U';
        return out;
    };
    FilterSet both = Stored({{'U', "IIPa"}, {'U', "S1"}, {'U', "D2"}, {'U', "S3"}});
    DropStayOnSiteWhenInDirectory(&both);
    EXPECT_EQ(flags(both), "UDS");
    EXPECT_EQ(both.filters[2].data, "3");

    FilterSet site_only = Stored({{'U', "S1"}, {'U', "IIPa"}});
    DropStayOnSiteWhenInDirectory(&site_only);
    EXPECT_EQ(flags(site_only), "SU");

    // What the drop is for: the directory filter now limits the crawl.
    FilterSet bound = Stored({{'U', "S"}, {'U', "D"}});
    BindStayFilters(&bound, "http://h.org/a/index.htm");
    EXPECT_TRUE(Accepts(bound, FilterType::Url, "http://h.org/b/x.htm"));
    DropStayOnSiteWhenInDirectory(&bound);
    EXPECT_FALSE(Accepts(bound, FilterType::Url, "http://h.org/b/x.htm"));
    EXPECT_TRUE(Accepts(bound, FilterType::Url, "http://h.org/a/x.htm"));
}

TEST(FilterSetTest, CompletesSetsForALinkCheck) {
    auto stored = [](const FilterSet& set) {
        std::string out;
        for (const Filter& f : set.filters) {
            char type_letter;
            std::string text;
            EncodeFilter(f, &type_letter, &text);
            out += std::string(1, type_letter) + ":" + text + " ";
        }
        return out;
    };
    FilterSet empty;
    EXPECT_TRUE(CompleteForLinkCheck(&empty));
    EXPECT_EQ(stored(empty), "U:S M:IIBtext ");

    FilterSet complete = Stored({{'U', "Sh"}, {'M', "IIBtext"}});
    EXPECT_FALSE(CompleteForLinkCheck(&complete));
    EXPECT_EQ(complete.filters.size(), 2u);

    // "text" must be a BeginsWith M filter to count.
    FilterSet contains_text = Stored({{'U', "Sh"}, {'M', "IIPtext"}});
    EXPECT_TRUE(CompleteForLinkCheck(&contains_text));
    EXPECT_EQ(stored(contains_text), "U:Sh M:IIPtext M:IIBtext ");

    FilterSet text_only = Stored({{'M', "EIBtext"}});
    EXPECT_TRUE(CompleteForLinkCheck(&text_only));
    EXPECT_EQ(stored(text_only), "M:EIBtext U:S ");
}

}  // namespace
}  // namespace fw
