#include "engine/content/html_scanner.h"

#include <ostream>

namespace fw {

// Straight into the stream's buffer: a page is emitted in hundreds of pieces,
// and a stream sentry per piece cost more than the copies. A failed or short
// write marks the stream bad, as write() would.
void HtmlScanner::Emit(std::string_view text) {
    if (!output_ || text.empty()) return;
    std::streambuf* buffer = output_->rdbuf();
    const auto size = static_cast<std::streamsize>(text.size());
    if (!output_->good() || !buffer || buffer->sputn(text.data(), size) != size) {
        output_->setstate(std::ios::badbit);
    }
}

void HtmlScanner::OnHref(std::string_view) {}
void HtmlScanner::OnEventAttribute(std::string_view) {}
void HtmlScanner::OnMeta(std::string_view) {}
void HtmlScanner::OnFrameSource(std::string_view) {}
void HtmlScanner::OnSource(std::string_view) {}
void HtmlScanner::OnAltText(std::string_view) {}
void HtmlScanner::OnBackground(std::string_view) {}
void HtmlScanner::OnText(std::string_view) {}
void HtmlScanner::OnBaseTag(std::string_view) {}
void HtmlScanner::OnBaseHref(std::string_view) {}
void HtmlScanner::OnBaseEnd(std::string_view) {}
void HtmlScanner::OnAnchorEnd() {}
void HtmlScanner::OnAnchorClose() {}
void HtmlScanner::OnImageStart() {}
void HtmlScanner::OnImageEnd() {}
void HtmlScanner::OnObjectStart(bool) {}
void HtmlScanner::OnObjectEnd() {}
void HtmlScanner::OnScriptStart() {}
void HtmlScanner::OnScriptEnd() {}
void HtmlScanner::OnCodebase(std::string_view) {}
void HtmlScanner::OnCode(std::string_view) {}
void HtmlScanner::OnFormAction(std::string_view) {}
void HtmlScanner::OnLinkTag(std::string_view) {}
void HtmlScanner::OnSourceSet(std::string_view) {}
void HtmlScanner::OnStyleText(std::string_view) {}

}  // namespace fw
