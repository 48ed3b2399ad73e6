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
    // With the port, as it stands in the URLs the directory holds.
    if (parsed.port() >= 0) site += ":" + std::to_string(parsed.port());
    // With the final "/", so a directory that merely starts alike is not inside.
    std::string_view path = parsed.path();
    site += path.substr(0, path.rfind('/') + 1);
    return site;
}

bool InSiteDirectory(std::string_view url, std::string_view site_and_directory) {
    if (const size_t scheme_end = url.find("://"); scheme_end != std::string_view::npos) {
        url.remove_prefix(scheme_end + 3);
    }
    if (url.starts_with("www.")) url.remove_prefix(4);
    return url.starts_with(site_and_directory);
}

}  // namespace fw
