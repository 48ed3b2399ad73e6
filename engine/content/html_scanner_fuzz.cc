// libFuzzer target for the page scanners and the tag text operations.
//
// Besides crashes and sanitizer reports it checks what must hold for any
// input: a pass that writes back everything it is handed reproduces the page
// (when it has no base or frame tag, whose stray quotes and blanks are
// dropped), with the normal input window and with tiny windows and reads
// that cut constructs into pieces anywhere; a title is a piece of the page
// within its size limit; a meta refresh splits into pieces that make up the
// tag again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "engine/content/css_references.h"
#include "engine/content/html_scanner.h"
#include "engine/content/html_text.h"
#include "engine/content/source_set.h"
#include "engine/content/title_scanner.h"
#include "platform/text.h"

namespace {

class PassThrough : public fw::HtmlScanner {
  protected:
    void OnHref(std::string_view v) override { Emit(v); }
    void OnEventAttribute(std::string_view v) override { Emit(v); }
    void OnMeta(std::string_view v) override {
        Emit(v);
        if (auto parts = fw::RefreshParts(v)) {
            std::string joined =
                std::string(parts->head) + std::string(parts->url) + std::string(parts->tail);
            if (joined != v) std::abort();
        }
    }
    void OnFrameSource(std::string_view v) override { Emit(v); }
    void OnSource(std::string_view v) override { Emit(v); }
    void OnAltText(std::string_view v) override { Emit(v); }
    void OnBackground(std::string_view v) override { Emit(v); }
    void OnText(std::string_view v) override { Emit(v); }
    void OnBaseTag(std::string_view v) override { Emit(v); }
    void OnBaseHref(std::string_view v) override { Emit(v); }
    void OnBaseEnd(std::string_view v) override { Emit(v); }
    void OnCodebase(std::string_view v) override { Emit(v); }
    void OnCode(std::string_view v) override { Emit(v); }
    void OnFormAction(std::string_view v) override { Emit(v); }
    void OnLinkTag(std::string_view v) override {
        Emit(v);
        if (fw::TagValue(v, "href=").size() > v.size()) std::abort();
    }
    void OnSourceSet(std::string_view v) override {
        Emit(v);
        for (std::string_view url : fw::SourceSetUrls(v)) {
            if (url.empty() || url.data() < v.data() ||
                url.data() + url.size() > v.data() + v.size())
                std::abort();
        }
    }
    void OnStyleText(std::string_view v) override {
        Emit(v);
        fw::CssReference ref;
        size_t from = 0;
        for (fw::CssReferences refs(v); refs.Next(&ref); from = ref.end + 1) {
            if (ref.begin < from || ref.end < ref.begin || ref.end >= v.size()) std::abort();
        }
    }
};

void CheckRoundTrip(std::string_view page, size_t window, size_t max_read) {
    PassThrough scanner;
    std::ostringstream out;
    scanner.set_output(&out);
    if (window) scanner.set_input_window(window, max_read);
    if (!scanner.ScanText(page)) std::abort();
    bool lossy = platform::FindIgnoreCase(page, "base") != std::string_view::npos ||
                 platform::FindIgnoreCase(page, "frame") != std::string_view::npos;
    if (!lossy && out.str() != page) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view page(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(page, 0, 0);
    // Tiny windows and reads put breaks anywhere in the page.
    CheckRoundTrip(page, 1 + (size ? data[0] % 32 : 0), 1 + (size > 1 ? data[1] % 16 : 0));

    std::string title = fw::TitleScanner().ScanText(page);
    if (title.size() > fw::TitleScanner::kMaxTitleBytes) std::abort();
    if (!title.empty() && page.find(title) == std::string_view::npos) std::abort();

    std::string decoded = fw::DecodeEntities(page);
    if (decoded.size() > page.size()) std::abort();
    return 0;
}
