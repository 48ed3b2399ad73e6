// The site tests behind stay-on-site and stay-in-directory filters.
#pragma once

#include <string>
#include <string_view>

namespace fw {

// The host of `url` without a leading "www." (case-sensitive test), or empty
// when the URL has no host.
std::string SiteOf(std::string_view url);

// SiteOf(url), the port when the URL names one, and the URL's path up to and
// including its last "/": "http://www.h/a/b/p.htm" gives "h/a/b/",
// "http://h:8080/p.htm" gives "h:8080/". Empty when the URL has no host.
std::string SiteAndDirectoryOf(std::string_view url);

// Whether `url` lies in the directory `site_and_directory` (as made by
// SiteAndDirectoryOf) or below it: the URL without its scheme and without a
// leading "www." starts with it. Letter case counts; callers fold both.
bool InSiteDirectory(std::string_view url, std::string_view site_and_directory);

}  // namespace fw
