#include "app/core/display_title.h"

namespace corvalin {
namespace {

constexpr std::string_view kOpen = "<title>";
constexpr std::string_view kClose = "</title>";

}  // namespace

SplitNotes SplitDisplayTitle(std::string_view notes) {
    const size_t open = notes.find(kOpen);
    if (open == std::string_view::npos) return {std::nullopt, std::string(notes)};
    const size_t start = open + kOpen.size();
    const size_t close = notes.find(kClose, start);
    if (close == std::string_view::npos) return {std::nullopt, std::string(notes)};
    // Text before the title is kept with the free notes, so that composing
    // the notes again loses nothing the user wrote.
    return {std::string(notes.substr(start, close - start)),
            std::string(notes.substr(0, open)) + std::string(notes.substr(close + kClose.size()))};
}

std::string ComposeNotes(std::string_view title, std::string_view free_notes) {
    if (title.empty()) return std::string(free_notes);
    std::string notes;
    notes.reserve(kOpen.size() + title.size() + kClose.size() + free_notes.size());
    notes.append(kOpen).append(title).append(kClose).append(free_notes);
    return notes;
}

}  // namespace corvalin
