#include "engine/content/html_scanner.h"
#include "engine/content/page_rewriter.h"

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/event.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

std::string Fixture(const std::string& name) {
    return std::string(FW_SOURCE_DIR) + "/tests/fixtures/html/" + name;
}

// Pages of the fixture site written the way sites are written today.
const char* const kModernPages[] = {"index.html", "sub/page.html"};

std::string ModernPage(const std::string& name) {
    return fwtest::ReadFile(std::string(FW_SOURCE_DIR) + "/tests/fixtures/modern/" + name);
}

// Records every action but OnText as "Name:argument"; OnText is collected.
class EventRecorder : public HtmlScanner {
  public:
    std::vector<std::string> events;
    std::string text;

  protected:
    void OnHref(std::string_view v) override { Add("Href", v); }
    void OnEventAttribute(std::string_view v) override { Add("Event", v); }
    void OnMeta(std::string_view v) override { Add("Meta", v); }
    void OnFrameSource(std::string_view v) override { Add("Frame", v); }
    void OnSource(std::string_view v) override { Add("Source", v); }
    void OnAltText(std::string_view v) override { Add("Alt", v); }
    void OnBackground(std::string_view v) override { Add("Background", v); }
    void OnText(std::string_view v) override { text.append(v); }
    void OnBaseTag(std::string_view v) override { Add("BaseTag", v); }
    void OnBaseHref(std::string_view v) override { Add("BaseHref", v); }
    void OnBaseEnd(std::string_view v) override { Add("BaseEnd", v); }
    void OnAnchorEnd() override { events.push_back("AnchorEnd"); }
    void OnAnchorClose() override { events.push_back("AnchorClose"); }
    void OnImageStart() override { events.push_back("ImageStart"); }
    void OnImageEnd() override { events.push_back("ImageEnd"); }
    void OnObjectStart(bool applet) override {
        events.push_back(applet ? "AppletStart" : "ObjectStart");
    }
    void OnObjectEnd() override { events.push_back("ObjectEnd"); }
    void OnScriptStart() override { events.push_back("ScriptStart"); }
    void OnScriptEnd() override { events.push_back("ScriptEnd"); }
    void OnCodebase(std::string_view v) override { Add("Codebase", v); }
    void OnCode(std::string_view v) override { Add("Code", v); }
    void OnFormAction(std::string_view v) override { Add("Action", v); }
    void OnLinkTag(std::string_view v) override { Add("LinkTag", v); }
    void OnSourceSet(std::string_view v) override { Add("SourceSet", v); }
    void OnStyleText(std::string_view v) override { Add("Style", v); }

  private:
    void Add(const char* name, std::string_view v) {
        events.push_back(std::string(name) + ":" + std::string(v));
    }
};

// Writes every piece of text it is handed back out, as a rewriting pass that
// changes nothing would.
// The rewriting passes' base writes every construct back as it came.
class PassThrough : public PageRewriter {};

std::vector<std::string> EventsOf(std::string_view page, size_t window = 0) {
    EventRecorder scanner;
    if (window) scanner.set_input_window(window);
    EXPECT_TRUE(scanner.ScanText(page));
    return scanner.events;
}

std::string PassedThrough(std::string_view page, size_t window = 0) {
    PassThrough scanner;
    std::ostringstream out;
    scanner.set_output(&out);
    if (window) scanner.set_input_window(window);
    EXPECT_TRUE(scanner.ScanText(page));
    return out.str();
}

struct FixtureCase {
    const char* file;
    std::vector<std::string> events;
};

class ScannerFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ScannerFixtureTest, CallsTheActionsOfEachConstructInOrder) {
    EventRecorder scanner;
    ASSERT_TRUE(scanner.ScanFile(Fixture(GetParam().file)));
    EXPECT_THAT(scanner.events, ElementsAreArray(GetParam().events));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Constructs, ScannerFixtureTest,
    ::testing::Values(
        FixtureCase{"anchors.html",
                    {"Href:x.htm", "Event:go('y.htm')", "AnchorEnd", "AnchorClose",
                     "Href:single.htm", "AnchorEnd", "AnchorClose",
                     "Href:bare.htm", "AnchorEnd", "AnchorClose",
                     "Href:area.htm", "AnchorEnd",                                   // area
                     "Href:spaced.htm", "AnchorEnd", "AnchorClose",
                     "AnchorEnd", "AnchorClose",                                     // href=""
                     "AnchorEnd", "AnchorClose",                                     // href="" title="t"
                     "Event:over()", "Event:out()", "AnchorEnd", "AnchorClose",
                     "AnchorEnd",                                                    // abbr
                     "Href:wrapped.htm", "AnchorEnd", "AnchorClose"}},
        FixtureCase{"images.html",
                    {"ImageStart", "Source:a.gif", "Alt:Home page", "ImageEnd",
                     "ImageStart", "Source:b.gif", "Alt:B", "ImageEnd",
                     "ImageStart", "Source:low.gif", "Source:dyn.avi", "Source:main.gif", "ImageEnd",
                     "ImageStart", "Source:movie.swf", "ImageEnd",                                   // embed
                     "ImageStart", "Source:x.gif", "ImageEnd",                                       // xsrc
                     "ImageStart", "Source:after-empty-alt.gif", "ImageEnd",
                     "Source:button.gif",                                                            // input
                     "Source:sound.wav", "ImageEnd"}},                                               // bgsound
        FixtureCase{"frames.html",
                    {"Frame:left.htm", "Frame:right.htm", "Frame:'inline.htm'",
                     "Background:bg.gif", "Background:table.gif", "Background:row.gif",
                     "Background:cell.gif"}},
        FixtureCase{"head.html",
                    {"Meta:<meta http-equiv=\"refresh\" content=\"5;url=next.htm\">",
                     "Meta:<META NAME=\"keywords\" CONTENT=\"a,b\">",
                     "LinkTag:<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">",
                     "BaseTag:<base href=\"", "BaseHref:http://example.com/dir/", "BaseEnd:>",
                     "BaseTag:<base href=\"", "BaseHref:other/", "BaseEnd:>",
                     "Action:/cgi-bin/post.pl"}},
        FixtureCase{"objects.html",
                    {"ObjectStart", "Codebase:http://plugins.example.com/cab/", "Source:movie.swf",
                     "ObjectEnd",
                     "Source:\"movie.swf\"", "Source:\"Pic.GIF\"",                            // params
                     "AppletStart", "Codebase:classes/", "Code:Main.class", "ObjectEnd",
                     "Source:\"img/title.jpg\"",
                     "AppletStart", "Code:Tool", "ObjectEnd"}},
        FixtureCase{"scripts.html",
                    {"ScriptStart", "Source:\"JavaScript\"", "Source:\"img/a.gif\"", "Source:'page.htm'",
                     // The string that fails at "> ends at the next double quote.
                     "Source:'w.htm'", "Source:\");\nvar s = 'it is' + \"", "ScriptEnd",
                     "ScriptStart", "Style:body { background: url(\"bg.png\") }", "ScriptEnd",
                     "Href:after.htm", "AnchorEnd", "AnchorClose"}}),
    // clang-format on
    [](const auto& info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

// A pass that writes back everything it is handed reproduces the page: the
// scanner loses nothing but the parts of a base tag around its value and a
// blank before a frame's src value.
TEST(HtmlScanner, PassThroughReproducesPagesWithoutBaseTags) {
    for (const char* file :
         {"anchors.html", "images.html", "frames.html", "objects.html", "scripts.html"}) {
        SCOPED_TRACE(file);
        std::string page = fwtest::ReadFile(Fixture(file));
        EXPECT_EQ(PassedThrough(page), page);
    }
}

// Takes at most `room` bytes, then refuses, as a full disk would.
class LimitedBuffer : public std::streambuf {
  public:
    explicit LimitedBuffer(size_t room) : room_(room) {}
    const std::string& str() const { return taken_; }

  protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const size_t take = std::min(static_cast<size_t>(n), room_ - taken_.size());
        taken_.append(s, take);
        return static_cast<std::streamsize>(take);
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }

  private:
    size_t room_;
    std::string taken_;
};

// A rewritten page is only committed while its stream is good, so an output
// that stops taking bytes must leave the stream bad.
TEST(HtmlScanner, OutputThatStopsTakingBytesEndsBad) {
    const std::string page = fwtest::ReadFile(Fixture("anchors.html"));
    for (size_t room : {size_t{0}, size_t{1}, page.size() / 2, page.size() - 1}) {
        SCOPED_TRACE(room);
        LimitedBuffer buffer(room);
        std::ostream out(&buffer);
        PassThrough scanner;
        scanner.set_output(&out);
        EXPECT_TRUE(scanner.ScanText(page));
        EXPECT_TRUE(out.bad());
        EXPECT_EQ(buffer.str(), page.substr(0, room));
    }
    LimitedBuffer roomy(page.size());
    std::ostream out(&roomy);
    PassThrough scanner;
    scanner.set_output(&out);
    EXPECT_TRUE(scanner.ScanText(page));
    EXPECT_TRUE(out.good());
    EXPECT_EQ(roomy.str(), page);
}

TEST(HtmlScanner, PassThroughReproducesPagesOfToday) {
    for (const char* name : kModernPages) {
        SCOPED_TRACE(name);
        const std::string page = ModernPage(name);
        EXPECT_EQ(PassedThrough(page), page);
        // Byte-sized reads with a tiny window cut the input at every position.
        EXPECT_EQ(PassedThrough(page, 1), page);
    }
}

struct ConstructCase {
    const char* page;
    std::vector<std::string> events;
};

// The constructs of pages written today, each through the action that fits
// it; the pass-through of each page gives the page back.
TEST(HtmlScanner, ResponsiveImagesAndMediaAreSources) {
    const ConstructCase cases[] = {
        {"<img srcset=\"a.jpg 1x, b.jpg 2x\" src=c.jpg>",
         {"ImageStart", "SourceSet:a.jpg 1x, b.jpg 2x", "Source:c.jpg", "ImageEnd"}},
        {"<SOURCE SrcSet='s.webp 480w,\n t.webp 800w' type=\"image/webp\">",
         {"ImageStart", "SourceSet:s.webp 480w,\n t.webp 800w", "ImageEnd"}},
        {"<img data-src=\"l.jpg\" data-srcset=l2.jpg alt=\"L\">",
         {"ImageStart", "Source:l.jpg", "SourceSet:l2.jpg", "Alt:L", "ImageEnd"}},
        {"<picture><source srcset=\"p.webp\"><img src=\"p.jpg\"></picture>",
         {"ImageStart", "SourceSet:p.webp", "ImageEnd", "ImageStart", "Source:p.jpg", "ImageEnd"}},
        {"<video poster=\"p.jpg\" src='v.mp4' controls>",
         {"ImageStart", "Source:p.jpg", "Source:v.mp4", "ImageEnd"}},
        {"<audio src=a.mp3><track kind=captions src=\"t.vtt\">",
         {"ImageStart", "Source:a.mp3", "ImageEnd", "ImageStart", "Source:t.vtt", "ImageEnd"}},
        {"<object type=\"application/pdf\" data=\"d.pdf\" width=1></object>",
         {"ObjectStart", "Source:d.pdf", "ObjectEnd"}},
        {"<object data='o.svg'>", {"ObjectStart", "Source:o.svg", "ObjectEnd"}},
        // Empty values add nothing and swallow nothing.
        {"<img srcset=\"\" src=\"i.gif\"><source srcset=''>",
         {"ImageStart", "Source:i.gif", "ImageEnd", "ImageStart", "ImageEnd"}},
        {"<img srcset=>text", {"ImageStart", "ImageEnd"}},
        // Words that only look like the attribute.
        {"<video controls autoplay>", {"ImageStart", "ImageEnd"}},
        {"<img sizes=\"50vw\" srcsetx=\"n.jpg\">", {"ImageStart", "ImageEnd"}},
    };
    for (const ConstructCase& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_THAT(EventsOf(c.page), ElementsAreArray(c.events));
        EXPECT_EQ(PassedThrough(c.page), c.page);
    }
}

TEST(HtmlScanner, StyleAttributesAndBlocksAreStyleText) {
    const ConstructCase cases[] = {
        {"<div style=\"background:url(x.png)\">t</div>", {"Style:background:url(x.png)"}},
        {"<p class=\"c\" STYLE = 'a:url(\"y\")'>", {"Style:a:url(\"y\")"}},
        {"<span style=color:red>", {"Style:color:red"}},
        {"<section id=s\nstyle=\"a\" title=\"t\" style=\"b\">", {"Style:a", "Style:b"}},
        {"<a href=\"x.htm\" style=\"s\">t</a>",
         {"Href:x.htm", "Style:s", "AnchorEnd", "AnchorClose"}},
        {"<img style=\"s\" src=i.gif>", {"ImageStart", "Style:s", "Source:i.gif", "ImageEnd"}},
        {"<input type=image style=\"s\" src=\"i.gif\">", {"Style:s", "Source:i.gif"}},
        {"<object style=\"s\" data=\"d.swf\">",
         {"ObjectStart", "Style:s", "Source:d.swf", "ObjectEnd"}},
        // After the link attribute of a tag that has one, the rest of the tag.
        {"<td background=\"b.gif\" style=\"s\">", {"Background:b.gif", "Style:s"}},
        {"<iframe src=\"f.htm\" style=\"s\">", {"Frame:f.htm", "Style:s"}},
        {"<form action=\"/post\" style=\"s\">", {"Action:/post", "Style:s"}},
        // A style block's text, in runs that end at "<" or ">"; its start
        // tag's attributes are not style text.
        {"<style type=\"text/css\">a{b:url(c)} d > e{}<!-- x --></style><p>",
         {"ScriptStart", "Style:a{b:url(c)} d >", "Style: e{}", "Style:<", "Style:!-- x -->",
          "ScriptEnd"}},
        // Not style attributes.
        {"<div class=\"stylesheet styles\" title=style>", {}},
        {"<div style=\"\">text<div style=>text", {}},
        {"<meta name=a style=\"s\"><link rel=x style=\"s\">",
         {"Meta:<meta name=a style=\"s\">", "LinkTag:<link rel=x style=\"s\">"}},
        {"<p>a style=\"s\" in text</p>", {}},
    };
    for (const ConstructCase& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_THAT(EventsOf(c.page), ElementsAreArray(c.events));
        EXPECT_EQ(PassedThrough(c.page), c.page);
    }
}

TEST(HtmlScanner, BaseTagKeepsOnlyItsValueAndEnd) {
    EXPECT_EQ(PassedThrough("a<base href=\"x/\" target=\"_top\">b<base href='y'>c"),
              "a<base href=\"x/>b<base href='y>c");
}

// Values that would otherwise swallow the following text.
TEST(HtmlScanner, EmptyValuesAddNothingAndReturnToTheirTag) {
    struct Case {
        const char* page;
        std::vector<std::string> events;
    } cases[] = {
        {"<a href=\"\">t</a><a href=\"n.htm\">",
         {"AnchorEnd", "AnchorClose", "Href:n.htm", "AnchorEnd"}},
        {"<a href=''>t<a href='n.htm'>", {"AnchorEnd", "Href:n.htm", "AnchorEnd"}},
        {"<a href=>t", {"AnchorEnd"}},
        {"<a href=\"\" name=\"n\">", {"AnchorEnd"}},
        {"<a onclick=\"\">t</a>", {"AnchorEnd", "AnchorClose"}},
        {"<a onclick=''>t", {"AnchorEnd"}},
        {"<frame src=\"\">text<frame src=f.htm>", {"Frame:f.htm"}},
        {"<iframe src=>text", {}},
        {"<body background=>text", {}},
        {"<body background=''>text", {}},
        {"<base href=\"\" target=\"_top\">text", {"BaseTag:<base href=\"", "BaseEnd:>"}},
        {"<img src=\"\" alt=\"\">", {"ImageStart", "ImageEnd"}},
        {"<input src=\"\">text", {}},
        {"<applet code=\"\" codebase=\"\">", {"AppletStart", "ObjectEnd"}},
        {"<form action=\"\">text", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_THAT(EventsOf(c.page), ElementsAreArray(c.events));
        std::string page = c.page;
        if (page.find("<base") == std::string::npos) {
            EXPECT_EQ(PassedThrough(page), page);
        }
    }
}

TEST(HtmlScanner, AttributeIsFoundAnywhereInsideItsTagOnly) {
    struct Case {
        const char* page;
        std::vector<std::string> events;
    } cases[] = {
        // The last matching attribute before ">" wins (longest match).
        {"<body background=a.gif id=x background=b.gif>", {"Background:b.gif"}},
        // Without the attribute the tag is plain text, also when a later tag has it.
        {"<body bgcolor=red><img src=i.gif>", {"ImageStart", "Source:i.gif", "ImageEnd"}},
        {"<td><b background=x.gif>", {}},
        {"<form name=f><a href=x>", {"Href:x", "AnchorEnd"}},
        {"<frame name=a><frame src=b.htm>", {"Frame:b.htm"}},
        // Any case, blanks around the tag word.
        {"< BoDy\tBACKGROUND = 'c.gif'>", {"Background:c.gif"}},
        {"<TD background=\"d.gif\">", {"Background:d.gif"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_THAT(EventsOf(c.page), ElementsAreArray(c.events));
    }
}

TEST(HtmlScanner, UntrustedBytesAreScannedAsText) {
    using namespace std::string_literals;
    // A NUL ends a value as a quote would; the rest of the tag is text.
    std::string page = "\xff\xfe<a href=\"x\0y.htm\">\0</a><img src=\xc3(.gif>\x80"s;
    EXPECT_THAT(EventsOf(page), ElementsAre("Href:x", "AnchorEnd", "AnchorClose", "ImageStart",
                                            "Source:\xc3(.gif", "ImageEnd"));
    EXPECT_EQ(PassedThrough(page), page);
    page = "<img\0src=\"\0a.gif\" alt=\"A\0\" src=b.gif\0><p\0style=\"s\0\">"s;
    EXPECT_THAT(EventsOf(page),
                ElementsAre("ImageStart", "Alt:A", "Source:b.gif", "ImageEnd", "Style:s"));
    EXPECT_EQ(PassedThrough(page), page);
}

// Pages made to stall a scanner: long runs of bytes that keep a construct
// open, or that the generated tables would scan again and again (NUL bytes,
// prefixes of the words a rule looks for), after each way a construct can
// open. Each is scanned whole and passes through unchanged; a scan that took
// time beyond linear in the page would not finish here.
TEST(HtmlScanner, HostileRunsScanInLinearTime) {
    using namespace std::string_literals;
    const std::string opens[] = {"",
                                 "<",
                                 "<a ",
                                 "<a href=\"",
                                 "<a href='",
                                 "<a href=",
                                 "<a onclick=\"",
                                 "<img ",
                                 "<img src=",
                                 "<img alt=\"",
                                 "<img srcset='",
                                 "<body background=\"",
                                 "<base href=\"",
                                 "<base href=x ",
                                 "<frame src=\"",
                                 "<input src=\"",
                                 "<!--",
                                 "<object data=",
                                 "<applet code=\"",
                                 "<script>",
                                 "<script>\"",
                                 "<style>",
                                 "<param \"",
                                 "<form action=",
                                 "<div ",
                                 "<p style=\"",
                                 "<meta ",
                                 "<x"};
    const std::string runs[] = {"\0"s, "s", "st", "styl", "-", "h", "o", "<", "\"", " ", "\x01"};
    const size_t kBytes = 256 * 1024;
    for (const std::string& open : opens) {
        for (const std::string& run : runs) {
            std::string page = open;
            while (page.size() < kBytes) page += run;
            page += "\"><img src=end.gif>";
            SCOPED_TRACE("after \"" + open + "\": a run of \"" + run + "\"");
            // A base tag is left out of the output, and blanks before a
            // frame's value.
            if (open.starts_with("<base") || open.starts_with("<frame")) {
                EventsOf(page);
            } else {
                ASSERT_EQ(PassedThrough(page), page);
            }
        }
    }
}

// A value the end of the page cuts off is no value: a pass that rewrites
// values must not drop the rest of the page with it.
TEST(HtmlScanner, ValueCutOffByTheEndOfThePageIsText) {
    const std::string rest = "p.htm\n" + std::string(8192, 't');
    const char* const opens[] = {
        "<a href=\"",        "<a href='",      "<a href=",
        "<a onclick=\"go('", "<img src=\"",    "<img alt=\"",
        "<img srcset=\"",    "<video poster=", "<body background='",
        "<base href=\"",     "<frame src=\"",  "<input src=\"",
        "<object data=\"",   "<applet code=",  "<applet codebase=\"",
        "<form action=\"",   "<p style=\"",    "<embed src=\"x.swf\" src="};
    for (const char* open : opens) {
        SCOPED_TRACE(open);
        const std::string page = std::string("<p>before</p>") + open + rest;
        for (const std::string& event : EventsOf(page)) {
            EXPECT_EQ(event.find("p.htm"), std::string::npos) << event;
        }
        if (std::string_view(open).find("<base") == std::string_view::npos) {
            EXPECT_EQ(PassedThrough(page), page);
        }
    }
    // Closed by the tag's end, a value stands.
    EXPECT_THAT(EventsOf("<a href=\"p.htm>"), ElementsAre("Href:p.htm", "AnchorEnd"));
}

TEST(HtmlScanner, StopEndsTheScanWhereItIs) {
    std::string page;
    for (int i = 0; i < 100000; ++i) page += "<a href=\"p" + std::to_string(i) + ".htm\">x</a>\n";
    platform::StopEvent stop;
    class StopAtFirstLink : public EventRecorder {
      public:
        platform::StopEvent* stop = nullptr;

      protected:
        void OnHref(std::string_view v) override {
            EventRecorder::OnHref(v);
            stop->Set();
        }
    } scanner;
    scanner.stop = &stop;
    scanner.set_stop(&stop);
    EXPECT_FALSE(scanner.ScanText(page));
    // What was read before the stop (one 16 KB read) is still scanned.
    EXPECT_GE(scanner.events.size(), 1u);
    EXPECT_LT(scanner.events.size(), 3000u);

    // A scanner without a stop, or with one not set, reads to the end.
    stop.Reset();
    EventRecorder whole;
    whole.set_stop(&stop);
    EXPECT_TRUE(whole.ScanText(page));
    EXPECT_EQ(whole.events.size(), 300000u);
}

TEST(HtmlScanner, ConstructLongerThanTheWindowIsSeenInPiecesAndNothingIsLost) {
    // The window is checked between reads, which are 16 KB here.
    std::string value(100000, 'v');
    std::string page = "<a href=\"" + value + "\">t</a><img src=after.gif>";
    EventRecorder scanner;
    scanner.set_input_window(256);
    ASSERT_TRUE(scanner.ScanText(page));
    // The value is cut where the window ran out, which makes it text; the
    // scan goes on in step.
    EXPECT_EQ(scanner.text.substr(0, 100), page.substr(0, 100));
    ASSERT_GE(scanner.events.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(scanner.events.end() - 3, scanner.events.end()),
                ElementsAre("ImageStart", "Source:after.gif", "ImageEnd"));
    EXPECT_EQ(PassedThrough(page, 256), page);
}

TEST(HtmlScanner, BreaksAnywhereLoseNothing) {
    // Byte-sized reads with a tiny window cut the input at every position.
    for (const char* file : {"anchors.html", "images.html", "objects.html", "scripts.html"}) {
        SCOPED_TRACE(file);
        std::string page = fwtest::ReadFile(Fixture(file));
        PassThrough scanner;
        std::ostringstream out;
        scanner.set_output(&out);
        scanner.set_input_window(1, 1);
        ASSERT_TRUE(scanner.ScanText(page));
        EXPECT_EQ(out.str(), page);
    }
}

TEST(HtmlScanner, ShortConstructsAreNotAffectedByTheWindow) {
    // Every construct here ends within 64 bytes of the previous ">".
    std::string page;
    for (int i = 0; i < 200; ++i) page += "<a href=\"p" + std::to_string(i) + ".htm\">x</a>\n";
    EXPECT_EQ(EventsOf(page, 64), EventsOf(page));
}

// Tags that open an attribute search but never close must not make the scan
// quadratic; the scan finishes and later constructs are still found.
TEST(HtmlScanner, ManyUnclosedTagsScanInLinearTime) {
    std::string page;
    for (int i = 0; i < 100000; ++i) page += "<td <meta <frame <a ";
    page += "><img src=end.gif>";
    std::vector<std::string> events = EventsOf(page);
    ASSERT_GE(events.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(events.end() - 3, events.end()),
                ElementsAre("ImageStart", "Source:end.gif", "ImageEnd"));
}

long PeakResidentKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(HtmlScanner, HugeTagDoesNotGrowMemoryWithItsSize) {
    fwtest::TempDir dir;
    const std::string path = dir / "huge.html";
    const size_t kBytes = 64u << 20;
    {
        std::ofstream out(path, std::ios::binary);
        out << "<a href=\"";
        std::string chunk(1 << 20, 'x');
        for (size_t written = 0; written < kBytes; written += chunk.size()) out << chunk;
        out << "\">t</a><img src=after.gif>";
    }
    // Keeps no copies of what it is handed.
    class Counter : public HtmlScanner {
      public:
        size_t text_bytes = 0;
        int images = 0;

      protected:
        void OnText(std::string_view v) override { text_bytes += v.size(); }
        void OnImageEnd() override { ++images; }
    } scanner;
    long before = PeakResidentKb();
    ASSERT_TRUE(scanner.ScanFile(path));
    long grown_kb = PeakResidentKb() - before;
    EXPECT_LT(grown_kb, 24 * 1024) << "the scanner buffered the whole tag";
    EXPECT_GE(scanner.text_bytes, kBytes);  // the value, cut in pieces, is text
    EXPECT_EQ(scanner.images, 1);
}

TEST(HtmlScanner, ScansAgainFromAFreshState) {
    EventRecorder scanner;
    // Ends inside an anchor tag and a script.
    ASSERT_TRUE(scanner.ScanText("<script>var a = 1; <a href=\"open"));
    scanner.events.clear();
    ASSERT_TRUE(scanner.ScanText("\"x.gif\" <a href=y.htm>"));
    EXPECT_THAT(scanner.events, ElementsAre("Href:y.htm", "AnchorEnd"));
}

TEST(HtmlScanner, UnreadableFileFails) {
    fwtest::TempDir dir;
    EventRecorder scanner;
    EXPECT_FALSE(scanner.ScanFile(dir / "missing.html"));
    EXPECT_FALSE(scanner.ScanFile(dir.path()));  // opens, but cannot be read
    EXPECT_THAT(scanner.events, IsEmpty());
}

TEST(HtmlScanner, FileAndTextScansAgree) {
    std::string page = fwtest::ReadFile(Fixture("images.html"));
    for (int i = 0; i < 10; ++i) page += page;  // past several 16 KB reads
    fwtest::TempDir dir;
    fwtest::WriteFile(dir / "big.html", page);
    EventRecorder from_file;
    ASSERT_TRUE(from_file.ScanFile(dir / "big.html"));
    EventRecorder from_text;
    ASSERT_TRUE(from_text.ScanText(page));
    EXPECT_EQ(from_file.events, from_text.events);
    EXPECT_EQ(from_file.text, from_text.text);
}

TEST(HtmlScanner, UnoverriddenActionsDropTheirText) {
    // The base class does nothing, so a pass that overrides only OnText sees
    // the page without the link values.
    class TextOnly : public HtmlScanner {
      protected:
        void OnText(std::string_view v) override { Emit(v); }
    } scanner;
    std::ostringstream out;
    scanner.set_output(&out);
    ASSERT_TRUE(scanner.ScanText("<a href=\"x.htm\">t</a><meta name=a>"));
    EXPECT_EQ(out.str(), "<a href=\"\">t</a>");
}

}  // namespace
}  // namespace fw
