#include "engine/content/page_top.h"

#include "platform/text.h"

namespace fw {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kOldHtmlLine = "<html>\n";
constexpr std::string_view kOldHeaderStart = "<html>\n<!-- ";
constexpr std::string_view kCommentEnd = " -->\n";

// The comment line naming the page's address. A "--" in the address would
// end the comment early and let the rest of it into the page.
std::string AddressComment(std::string_view page_url) {
    std::string url(page_url);
    for (size_t pos; (pos = url.find("--")) != std::string::npos;) url.replace(pos, 1, "%2D");
    return "<!-- " + url + " -->";
}

}  // namespace

size_t LeadingDoctypeLength(std::string_view page_start) {
    size_t at = page_start.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (at < page_start.size() && (platform::IsLineWhite(page_start[at]) || page_start[at] == '\f')) {
        ++at;
    }
    constexpr std::string_view kDoctype = "<!doctype";
    if (!platform::EqualsIgnoreCase(page_start.substr(at, kDoctype.size()), kDoctype)) return 0;
    const size_t end = page_start.find('>', at);
    return end == std::string_view::npos ? 0 : end + 1;
}

std::string FixedPageHeader(std::string_view page_url) {
    return "<html>\n" + AddressComment(page_url) + "\n";
}

PageTop FixedPageTop(std::string_view page_start, std::string_view page_url) {
    const size_t doctype = LeadingDoctypeLength(page_start);
    if (doctype == 0) return {FixedPageHeader(page_url), 0};
    return {std::string(page_start.substr(0, doctype)) + "\n" + AddressComment(page_url), doctype};
}

bool StartsAsFixedPage(std::string_view page_start, std::string_view page_url) {
    const size_t doctype = LeadingDoctypeLength(page_start);
    if (doctype == 0) return page_start.starts_with(FixedPageHeader(page_url));
    return page_start.substr(doctype).starts_with("\n" + AddressComment(page_url));
}

PageTop RepairedPageTop(std::string_view page_start) {
    if (!page_start.starts_with(kOldHeaderStart)) return {};
    const size_t comment_end = page_start.find(kCommentEnd);
    if (comment_end == std::string_view::npos) return {};
    const size_t header = comment_end + kCommentEnd.size();
    const size_t doctype = LeadingDoctypeLength(page_start.substr(header));
    if (doctype == 0) return {};
    const size_t comment_start = kOldHtmlLine.size();
    const std::string_view comment =  // "<!-- ... -->" without its line end
        page_start.substr(comment_start, comment_end + kCommentEnd.size() - 1 - comment_start);
    return {std::string(page_start.substr(header, doctype)) + "\n" + std::string(comment),
            header + doctype};
}

}  // namespace fw
