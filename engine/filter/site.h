// The site tests behind stay-on-site and stay-in-directory filters.
#pragma once

#include <string>
#include <string_view>

namespace fw {

// The host of `url` without a leading "www." (case-sensitive test), or empty
// when the URL has no host.
std::string SiteOf(std::string_view url);

// SiteOf(url) followed by the URL's path up to, not including, its last "/":
// "http://www.h/a/b/p.htm" gives "h/a/b", "http://h/p.htm" gives "h". Empty
// when the URL has no host.
std::string SiteAndDirectoryOf(std::string_view url);

}  // namespace fw
