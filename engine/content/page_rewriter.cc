#include "engine/content/page_rewriter.h"

#include <algorithm>

#include "engine/content/page_output.h"

namespace fw {

namespace {

constexpr size_t kReadWholeLimit = 4 * 1024 * 1024;

}  // namespace

bool PageRewriter::Rewrite(const std::string& source, const std::string& target,
                           const PageTop& top, OutputMode mode) {
    PageOutput output(target, mode);
    if (!output.ok()) return false;
    set_output(&output.stream());
    top_ = &top;
    top_left_ = top.replaces;
    if (top_left_ == 0) WriteTop();
    // A page rewritten in place is read through the descriptor the output
    // holds; a large one is scanned from its file in windows.
    std::string page;
    const bool scanned = source == target && output.ReadTarget(kReadWholeLimit, &page)
                             ? ScanText(page)
                             : ScanFile(source);
    Finish();
    if (top_) WriteTop();  // the page was shorter than its top said
    set_output(nullptr);
    return scanned && output.Commit();
}

void PageRewriter::PutAtTop(std::string_view text) {
    const size_t dropped = std::min(top_left_, text.size());
    top_left_ -= dropped;
    text.remove_prefix(dropped);
    if (top_left_ > 0) return;  // more of the replaced text is to come
    WriteTop();
    Emit(text);
}

void PageRewriter::WriteTop() {
    Emit(top_->text);
    top_ = nullptr;
}

}  // namespace fw
