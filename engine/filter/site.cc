#include "engine/filter/site.h"

#include "engine/content/parsed_url.h"

namespace fw {
namespace {

std::string SiteOfParsed(const ParsedUrl& url) {
    std::string_view host = url.host() ? url.host() : "";
    if (host.starts_with("www.")) host.remove_prefix(4);
    return std::string(host);
}

}  // namespace

std::string SiteOf(std::string_view url) {
    ParsedUrl parsed;
    parsed.Parse(url);
    return SiteOfParsed(parsed);
}

std::string SiteAndDirectoryOf(std::string_view url) {
    ParsedUrl parsed;
    parsed.Parse(url);
    std::string site = SiteOfParsed(parsed);
    if (site.empty()) return site;
    std::string_view path = parsed.path();
    site += path.substr(0, path.rfind('/'));
    return site;
}

}  // namespace fw
