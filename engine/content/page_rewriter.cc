#include "engine/content/page_rewriter.h"

#include "engine/content/page_output.h"

namespace fw {

namespace {

constexpr size_t kReadWholeLimit = 4 * 1024 * 1024;

}  // namespace

bool PageRewriter::Rewrite(const std::string& source, const std::string& target,
                           std::string_view header, OutputMode mode) {
    PageOutput output(target, mode);
    if (!output.ok()) return false;
    output.stream().write(header.data(), static_cast<std::streamsize>(header.size()));
    set_output(&output.stream());
    // A page rewritten in place is read through the descriptor the output
    // holds; a large one is scanned from its file in windows.
    std::string page;
    const bool scanned = source == target && output.ReadTarget(kReadWholeLimit, &page)
                             ? ScanText(page)
                             : ScanFile(source);
    Finish();
    set_output(nullptr);
    return scanned && output.Commit();
}

}  // namespace fw
