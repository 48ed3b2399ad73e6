#include "app/core/url_labels.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(UrlLabelsTest, ListPictures) {
    struct Case {
        int32_t html, status, error;
        UrlImage image;
    } cases[] = {
        {2, 0, 0, UrlImage::kText},           {7, 71, 0, UrlImage::kText},
        {3, 0, 0, UrlImage::kImage},          {4, 71, 0, UrlImage::kOther},
        {1, 71, 0, UrlImage::kGrabbed},       {1, 71, 404, UrlImage::kGrabbed},
        {1, 71, 1001, UrlImage::kNotGrabbed}, {1, 70, 0, UrlImage::kNotGrabbed},
        {0, 0, 0, UrlImage::kNotGrabbed},     {6, 71, 0, UrlImage::kGrabbed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ListImageOf(c.html, c.status, c.error), c.image)
            << c.html << " " << c.status << " " << c.error;
    }
}

TEST(UrlLabelsTest, Labels) {
    struct Case {
        const char* notes;
        const char* title;
        const char* url;
        const char* start_label;
    } cases[] = {
        {"<title>My site</title>free notes", "Home", "http://h/", "My site"},
        {"no title here", "Home", "http://h/", "Home"},
        {"<title></title>", "Home", "http://h/", "Home"},
        {"", "", "http://h/", "http://h/"},
        {"<title>Only an opening", "", "http://h/", "http://h/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StartUrlLabel(c.notes, c.title, c.url), c.start_label) << c.notes;
    }
    EXPECT_EQ(UrlLabel("", "http://h/a.gif"), "http://h/a.gif");
    EXPECT_EQ(UrlLabel("A page", "http://h/a.htm"), "A page");
    EXPECT_EQ(FileLabel("http://h/files/report.pdf"), "report.pdf");
    EXPECT_EQ(FileLabel("http://h/files/"), "");
    EXPECT_EQ(FileLabel("no-slash"), "no-slash");
}

}  // namespace
}  // namespace corvalin
