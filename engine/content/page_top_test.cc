#include "engine/content/page_top.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(PageTopTest, TheCommentGoesAfterALeadingDoctype) {
    struct Case {
        const char* page;
        const char* top;  // what replaces the page's first `replaces` bytes
        size_t replaces;
    } cases[] = {
        {"<!DOCTYPE html>\n<html>", "<!DOCTYPE html>\n<!-- http://h/p -->", 15},
        {"<!doctype html><p>", "<!doctype html>\n<!-- http://h/p -->", 15},
        {"\xEF\xBB\xBF\n  <!DocType HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">x",
         "\xEF\xBB\xBF\n  <!DocType HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<!-- http://h/p -->",
         56},
        // No doctype (or none before the page starts): the header on top.
        {"<html><body>", "<html>\n<!-- http://h/p -->\n", 0},
        {"<!-- first --><!DOCTYPE html>", "<html>\n<!-- http://h/p -->\n", 0},
        {"<!DOCTYPE html without its end", "<html>\n<!-- http://h/p -->\n", 0},
        {"", "<html>\n<!-- http://h/p -->\n", 0},
    };
    for (const Case& c : cases) {
        const PageTop top = FixedPageTop(c.page, "http://h/p");
        EXPECT_EQ(top.text, c.top) << c.page;
        EXPECT_EQ(top.replaces, c.replaces) << c.page;
    }
}

TEST(PageTopTest, HeaderLinesBeforeADoctypeAreRepaired) {
    const PageTop top = RepairedPageTop("<html>\n<!-- http://h/p -->\n<!DOCTYPE html>\n<html>");
    EXPECT_EQ(top.text, "<!DOCTYPE html>\n<!-- http://h/p -->");
    EXPECT_EQ(top.replaces, 42u);
    // Pages laid out rightly, or without a doctype, stay as they are.
    for (const char* page : {"<!DOCTYPE html>\n<!-- http://h/p -->\n<html>",
                             "<html>\n<!-- http://h/p -->\n<body>", "<html>\n<!-- unended"}) {
        EXPECT_EQ(RepairedPageTop(page).replaces, 0u) << page;
        EXPECT_EQ(RepairedPageTop(page).text, "") << page;
    }
}

}  // namespace
}  // namespace fw
