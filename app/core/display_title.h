// The display title of a start URL, kept in its Notes: the text between the
// first "<title>" and the first "</title>" after it is the title the views
// and the contents page show; the text after "</title>" is the free notes.
// Notes without both markers have no display title and are all free notes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvalin {

struct SplitNotes {
    std::optional<std::string> title;  // nullopt: the notes hold no display title
    std::string free_notes;
};

SplitNotes SplitDisplayTitle(std::string_view notes);

// The Notes text for a display title and free notes: "<title>" + title +
// "</title>" + free notes, or the free notes alone for an empty title.
std::string ComposeNotes(std::string_view title, std::string_view free_notes);

}  // namespace corvalin
