// PageRewriter: the base of the passes that write a page back out with some
// links changed. Unlike HtmlScanner, whose actions drop their text, every
// action here writes its text through unchanged, so a pass overrides only
// what it changes and nothing else of the page is lost.
#pragma once

#include <string>
#include <string_view>

#include "engine/content/html_scanner.h"
#include "engine/content/page_output.h"
#include "engine/content/page_top.h"

namespace fw {

class PageRewriter : public HtmlScanner {
  public:
    // Rewrites the page `source` into `target`, with `top` in place of its
    // first top.replaces bytes. The target is replaced only by a complete
    // page (see PageOutput). False when the source cannot be read or the
    // target written; the target is then as it was (see OutputMode for
    // kInPlace).
    bool Rewrite(const std::string& source, const std::string& target, const PageTop& top,
                 OutputMode mode = OutputMode::kNewFile);

  protected:
    // Writes to the output, or to the held-back text while `hold_` is set.
    void Put(std::string_view text) {
        if (hold_) {
            hold_->append(text);
        } else if (top_) {
            PutAtTop(text);
        } else {
            Emit(text);
        }
    }

    // Called once the whole page has been scanned, before the output is
    // closed: a pass writes out whatever it still holds.
    virtual void Finish() {}

    void OnHref(std::string_view v) override { Put(v); }
    void OnEventAttribute(std::string_view v) override { Put(v); }
    void OnMeta(std::string_view v) override { Put(v); }
    void OnFrameSource(std::string_view v) override { Put(v); }
    void OnSource(std::string_view v) override { Put(v); }
    void OnAltText(std::string_view v) override { Put(v); }
    void OnBackground(std::string_view v) override { Put(v); }
    void OnText(std::string_view v) override { Put(v); }
    void OnBaseTag(std::string_view v) override { Put(v); }
    void OnBaseHref(std::string_view v) override { Put(v); }
    void OnBaseEnd(std::string_view v) override { Put(v); }
    void OnCodebase(std::string_view v) override { Put(v); }
    void OnCode(std::string_view v) override { Put(v); }
    void OnFormAction(std::string_view v) override { Put(v); }
    void OnLinkTag(std::string_view v) override { Put(v); }
    void OnSourceSet(std::string_view v) override { Put(v); }
    void OnStyleText(std::string_view v) override { Put(v); }

    std::string* hold_ = nullptr;  // where Put writes instead of the output

  private:
    // Drops the page's text that the top replaces, then writes the top.
    void PutAtTop(std::string_view text);
    void WriteTop();

    const PageTop* top_ = nullptr;  // while the top is not written yet
    size_t top_left_ = 0;           // bytes of the page it still replaces
};

}  // namespace fw
