// The references a piece of style sheet text makes to other files: every
// url(...) and every @import of a quoted name. One reader serves style sheet
// files, <style> blocks and style attributes alike, for finding the links and
// for rewriting them.
//
// A url(...) runs from "url(" (any letter case) to its ")". Its value is
// trimmed and loses its quotes: a double or single quote (or the entity
// &quot; / &#34; / &#39; / &apos;, as a style attribute may carry) at its
// start and at its end. A quoted value ends at its own closing quote, so a
// ")" inside the quotes does not end it. An @import (any letter case)
// followed by a quoted name refers to that name; "@import url(...)" is read
// as its url(...). A reference without its closing ")" or quote is none.
//
// Comments are not skipped: a reference inside one still counts.
#pragma once

#include <cstddef>
#include <string_view>

namespace fw {

struct CssReference {
    // The text a rewrite replaces: between "url(" and ")", or between the
    // quotes of an @import name.
    size_t begin = 0;
    size_t end = 0;
    std::string_view value;  // the link as written, trimmed and unquoted; points into the text
};

// Whether a reference's value names something to resolve: not empty, and not
// a fragment of the text itself ("#name", as SVG filters are named).
bool IsCssLinkValue(std::string_view value);

// Walks the references of one text, in order. Linear in the text's length,
// also for texts full of openings without an end.
class CssReferences {
  public:
    // REQUIRES: `text` outlives the reader.
    explicit CssReferences(std::string_view text) : text_(text) {}

    // The next reference; false when there is none left.
    bool Next(CssReference* ref);

  private:
    // Where the next `c` at or after `from` stands (npos: none). Answers are
    // remembered, so a closing character that is missing is looked for once.
    size_t Find(char c, size_t from);
    bool ReadUrl(size_t open, CssReference* ref);
    bool ReadImport(size_t after, CssReference* ref);

    struct Search {
        bool done = false;
        size_t from = 0;  // the answer holds for searches from here up to `at`
        size_t at = 0;
    };

    std::string_view text_;
    size_t pos_ = 0;      // where the walk goes on
    Search searches_[3];  // ")", "\"" and "'"
};

}  // namespace fw
