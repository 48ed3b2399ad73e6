// The top of a page the Fix step writes: the comment that names the page's
// web address goes after a leading doctype, because anything but a comment or
// blanks before the doctype makes browsers render the page in quirks mode;
// a page without a doctype gets "<html>" and the comment on top.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

// What a rewriting pass writes at the top of a page: `text` in place of the
// page's first `replaces` bytes. Those bytes are plain text (a byte order
// mark, blanks, a doctype, an old header) that the pass would write through
// unchanged.
struct PageTop {
    std::string text;
    size_t replaces = 0;
};

// Bytes of a page's start that are enough to find its doctype.
inline constexpr size_t kPageTopBytes = 4096;

// The length of the page's leading doctype, with the byte order mark and
// blanks before it; 0 when `page_start` does not begin with one.
size_t LeadingDoctypeLength(std::string_view page_start);

// The two header lines a fixed page without a doctype starts with:
// "<html>" and "<!-- page_url -->".
std::string FixedPageHeader(std::string_view page_url);

// The top the Fix step gives the page that starts with `page_start` (its
// first kPageTopBytes bytes, or all of it): the doctype, then the comment
// on a line of its own; FixedPageHeader when there is no doctype.
PageTop FixedPageTop(std::string_view page_start, std::string_view page_url);

// Whether `page_start` (a stored file's first bytes) begins as the Fix step
// begins a page of `page_url`. A page found so was fixed by a process that
// stopped before its row said so, and must not be fixed twice.
bool StartsAsFixedPage(std::string_view page_start, std::string_view page_url);

// For a page fixed with its header lines before its doctype: the top that
// puts the comment after the doctype and drops that "<html>". Nothing for
// any other page.
PageTop RepairedPageTop(std::string_view page_start);

}  // namespace fw
