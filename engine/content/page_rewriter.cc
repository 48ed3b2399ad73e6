#include "engine/content/page_rewriter.h"

#include "engine/content/page_output.h"

namespace fw {

bool PageRewriter::Rewrite(const std::string& source, const std::string& target,
                           std::string_view header, OutputMode mode) {
    PageOutput output(target, mode);
    if (!output.ok()) return false;
    output.stream().write(header.data(), static_cast<std::streamsize>(header.size()));
    set_output(&output.stream());
    const bool scanned = ScanFile(source);
    Finish();
    set_output(nullptr);
    return scanned && output.Commit();
}

}  // namespace fw
