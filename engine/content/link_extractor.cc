#include "engine/content/link_extractor.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "engine/content/css_references.h"
#include "engine/content/html_scanner.h"
#include "engine/content/html_text.h"
#include "engine/content/link_recorder.h"
#include "engine/content/link_values.h"
#include "engine/content/script_links.h"
#include "engine/content/source_set.h"
#include "engine/store/project_store.h"
#include "engine/support/log.h"
#include "platform/text.h"

namespace fw {

namespace {

// Anchor text beyond this is not needed for a title (titles keep 64 bytes)
// and would let a page without "</a>" grow it without bound.
constexpr size_t kMaxAnchorText = 16 * 1024;
constexpr size_t kMaxTitleBytes = 64;

// Applet codebase and code values are held until the tag ends.
constexpr size_t kMaxAppletValue = ParsedUrl::kTextCapacity;

using Role = FoundLink::Role;

// The rel words that make a link tag's href a file the page needs, whatever
// its type says.
constexpr std::string_view kResourceRels[] = {"stylesheet",       "icon",
                                              "apple-touch-icon", "apple-touch-icon-precomposed",
                                              "preload",          "modulepreload"};

// Whether any blank-separated word of `rel` (lower-cased) is one of them.
bool IsResourceRel(std::string_view rel) {
    size_t pos = 0;
    while (pos < rel.size()) {
        const size_t end = std::min(rel.find_first_of(" \t\r\n", pos), rel.size());
        const std::string_view word = rel.substr(pos, end - pos);
        for (std::string_view listed : kResourceRels) {
            if (word == listed) return true;
        }
        pos = end + 1;
    }
    return false;
}

// Drops every "<" through the next ">" (to the end when there is none).
std::string WithoutTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('<', pos);
        out.append(text.substr(pos, open - pos));
        if (open == std::string_view::npos) break;
        const size_t close = text.find('>', open);
        if (close == std::string_view::npos) break;
        pos = close + 1;
    }
    return out;
}

// Calls `piece` with every single- or double-quoted piece of `text` (without
// its quotes), in order. An unclosed quote ends the scan.
template <class Visit>
void ForEachQuoted(std::string_view text, Visit piece) {
    size_t pos = 0;
    while (true) {
        const size_t open = text.find_first_of("'\"", pos);
        if (open == std::string_view::npos) return;
        const size_t close = text.find(text[open], open + 1);
        if (close == std::string_view::npos) return;
        piece(text.substr(open + 1, close - open - 1));
        pos = close + 1;
    }
}

// Where the extractor's links go: straight into the store, or into a list
// recorded later.
class LinkSink {
  public:
    virtual ~LinkSink() = default;
    // Takes a resolved link; returns what names it for Title (0: nothing).
    virtual uint32_t Add(Role role, UrlScheme scheme, const char* text) = 0;
    virtual void Title(uint32_t link, std::string_view title) = 0;
};

class RecordingSink : public LinkSink {
  public:
    explicit RecordingSink(LinkRecorder& recorder) : recorder_(recorder) {}
    uint32_t Add(Role role, UrlScheme scheme, const char* text) override {
        using PageKind = LinkRecorder::PageKind;
        switch (role) {
            case Role::kLink:
            case Role::kRefresh:
            case Role::kFrame:
                recorder_.PageLink(text, scheme,
                                   role == Role::kLink      ? PageKind::kLink
                                   : role == Role::kRefresh ? PageKind::kRefresh
                                                            : PageKind::kFrame);
                return static_cast<uint32_t>(std::max(0, recorder_.last_page_link()));
            case Role::kResource:
                recorder_.Resource(text, scheme);
                return 0;
            case Role::kTitle:
                break;
        }
        return 0;
    }
    void Title(uint32_t link, std::string_view title) override {
        recorder_.SetTitleIfNone(static_cast<int32_t>(link), title);
    }

  private:
    LinkRecorder& recorder_;
};

// Links are named by their place in the list plus one.
class CollectingSink : public LinkSink {
  public:
    explicit CollectingSink(FoundLinks& found) : found_(found) {
        // Room for the links and titles of a usual page without regrowing.
        found_.links.reserve(64);
    }
    uint32_t Add(Role role, UrlScheme scheme, const char* text) override {
        if (!Room()) return 0;
        found_.links.push_back({role, scheme, text, 0});
        return static_cast<uint32_t>(found_.links.size());
    }
    void Title(uint32_t link, std::string_view title) override {
        if (Room()) {
            found_.links.push_back({Role::kTitle, UrlScheme::None, std::string(title), link - 1});
        }
    }

  private:
    bool Room() {
        if (found_.links.size() < kMaxFoundLinks) return true;
        found_.complete = false;
        return false;
    }
    FoundLinks& found_;
};

class LinkExtractor : public HtmlScanner {
  public:
    LinkExtractor(LinkSink& sink, std::string_view page_url, const ExtractOptions& options)
        : sink_(sink), options_(options), scripts_(ScriptLinks()) {
        base_.Parse(page_url);
        set_stop(options.stop);
    }

  protected:
    void OnHref(std::string_view value) override;
    void OnEventAttribute(std::string_view value) override;
    void OnMeta(std::string_view tag) override;
    void OnFrameSource(std::string_view value) override;
    void OnSource(std::string_view value) override;
    void OnAltText(std::string_view value) override { alt_text_ = platform::Trim(value); }
    void OnBackground(std::string_view value) override;
    void OnText(std::string_view text) override;
    void OnBaseHref(std::string_view value) override { base_.ParseRelative(value); }
    void OnAnchorEnd() override { collecting_ = true; }
    void OnAnchorClose() override;
    void OnImageStart() override { collecting_ = false; }
    void OnImageEnd() override { collecting_ = true; }
    void OnObjectStart(bool applet) override;
    void OnObjectEnd() override;
    void OnScriptStart() override { in_script_ = true; }
    void OnScriptEnd() override { in_script_ = false; }
    void OnCodebase(std::string_view value) override;
    void OnCode(std::string_view value) override;
    void OnLinkTag(std::string_view tag) override;
    void OnSourceSet(std::string_view value) override;
    void OnStyleText(std::string_view text) override;

  private:
    bool Resolve(std::string_view value) { return ResolveLink(base_, value, &link_); }
    // Hands the link just resolved to the sink; returns what names it.
    uint32_t Add(Role role) {
        const char* text = link_.Text();
        return text ? sink_.Add(role, link_.scheme(), text) : 0;
    }
    void ScriptStrings(std::string_view value, bool page);
    void StartAnchor();

    LinkSink& sink_;
    const ExtractOptions& options_;
    const ScriptLinkTest& scripts_;
    ParsedUrl base_;
    ParsedUrl link_;  // the link being handled; kept to spare its set-up per link
    bool in_script_ = false;
    bool collecting_ = false;
    std::string anchor_text_;
    std::string alt_text_;
    uint32_t last_link_ = 0;  // the anchor's target, for its title
    bool applet_ = false;
    std::string codebase_;
    std::string code_;
};

// Any href ends what the previous anchor collected, so its text never
// becomes the title of another anchor's target.
void LinkExtractor::StartAnchor() {
    collecting_ = false;
    anchor_text_.clear();
    alt_text_.clear();
    last_link_ = 0;
}

void LinkExtractor::OnHref(std::string_view value) {
    StartAnchor();
    if (value.starts_with('#')) return;
    if (StartsWithIgnoreCase(value, "javascript:")) {
        ScriptStrings(value, true);
        return;
    }
    std::string href = LinkAttributeText(value);
    std::string_view target = href;
    if (target.starts_with('\'')) {
        target.remove_prefix(1);
        if (target.ends_with('\'')) target.remove_suffix(1);
    }
    if (!Resolve(target)) return;
    last_link_ = Add(Role::kLink);
}

void LinkExtractor::OnEventAttribute(std::string_view value) {
    if (options_.pages_only) return;
    ScriptStrings(value, false);
}

void LinkExtractor::ScriptStrings(std::string_view value, bool page) {
    ForEachQuoted(value, [&](std::string_view piece) {
        piece = platform::TrimView(piece);
        if (piece.empty() || HasWhitespace(piece) || !scripts_.IsLink(piece, false)) return;
        if (!Resolve(piece)) return;
        Add(page || scripts_.IsLink(piece, true) ? Role::kLink : Role::kResource);
    });
}

void LinkExtractor::OnMeta(std::string_view tag) {
    const auto refresh = RefreshParts(tag);
    if (!refresh || !Resolve(platform::TrimView(refresh->url))) return;
    Add(Role::kRefresh);
}

void LinkExtractor::OnFrameSource(std::string_view value) {
    if (!Resolve(platform::TrimView(value))) return;
    Add(Role::kFrame);
}

void LinkExtractor::OnSource(std::string_view value) {
    if (options_.pages_only || (options_.page_is_error && in_script_)) return;
    if (value.starts_with('"') || value.starts_with('\'')) {
        // A string in a script or a param tag, quotes included.
        if (value.size() < 2) return;
        std::string_view inner = value.substr(1, value.size() - 2);
        if (inner.ends_with('\\')) inner.remove_suffix(1);
        inner = platform::TrimView(inner);
        if (inner.empty() || HasWhitespace(inner) || !scripts_.IsLink(inner, false)) return;
        if (!Resolve(inner)) return;
        Add(scripts_.IsLink(inner, true) ? Role::kLink : Role::kResource);
        return;
    }
    if (Resolve(platform::TrimView(value))) Add(Role::kResource);
}

void LinkExtractor::OnBackground(std::string_view value) {
    if (options_.pages_only) return;
    if (Resolve(platform::TrimView(value))) Add(Role::kResource);
}

void LinkExtractor::OnText(std::string_view text) {
    if (!collecting_ || anchor_text_.size() >= kMaxAnchorText) return;
    anchor_text_.append(text.substr(0, kMaxAnchorText - anchor_text_.size()));
}

void LinkExtractor::OnAnchorClose() {
    collecting_ = false;
    std::string text =
        CollapseWhitespace(DecodeEntities(WithoutTags(platform::TrimView(anchor_text_))));
    std::string_view title = platform::TrimView(text);
    if (title.empty()) title = alt_text_;
    if (title.empty() || last_link_ == 0) return;
    sink_.Title(last_link_, platform::CutUtf8(title, kMaxTitleBytes));
}

void LinkExtractor::OnObjectStart(bool applet) {
    applet_ = applet;
    codebase_.clear();
    code_.clear();
}

void LinkExtractor::OnCodebase(std::string_view value) {
    if (options_.pages_only) return;
    if (applet_) {
        codebase_.assign(value.substr(0, kMaxAppletValue));
    } else if (Resolve(value)) {
        Add(Role::kResource);
    }
}

void LinkExtractor::OnCode(std::string_view value) {
    if (applet_ && !options_.pages_only) code_.assign(value.substr(0, kMaxAppletValue));
}

void LinkExtractor::OnObjectEnd() {
    if (!applet_ || code_.empty()) return;
    if (code_.find_first_of("/.") == std::string::npos) code_ += ".class";
    link_.CopyFrom(base_);
    if (!codebase_.empty()) link_.ParseRelative(codebase_);
    link_.ParseRelative(code_);
    Add(Role::kResource);
    code_.clear();
    codebase_.clear();
}

void LinkExtractor::OnLinkTag(std::string_view tag) {
    if (options_.pages_only) return;
    const std::string_view href = TagValueAsWritten(tag, "href=");
    if (href.empty()) return;
    // Pages of today leave the type out of style sheet and icon links.
    const std::string type = TagValue(tag, "type=");
    if (type != "text/css" && !type.starts_with("image") && !IsResourceRel(TagValue(tag, "rel="))) {
        return;
    }
    if (Resolve(platform::TrimView(href))) Add(Role::kResource);
}

void LinkExtractor::OnSourceSet(std::string_view value) {
    if (options_.pages_only) return;
    for (std::string_view url : SourceSetUrls(value)) {
        if (Resolve(url)) Add(Role::kResource);
    }
}

void LinkExtractor::OnStyleText(std::string_view text) {
    if (options_.pages_only) return;
    CssReference ref;
    for (CssReferences refs(text); refs.Next(&ref);) {
        if (IsCssLinkValue(ref.value) && Resolve(ref.value)) Add(Role::kResource);
    }
}

}  // namespace

FoundLinks FindLinks(const std::string& file, const std::string& page_url,
                     const ExtractOptions& options) {
    FoundLinks found;
    CollectingSink sink(found);
    LinkExtractor(sink, page_url, options).ScanFile(file);
    return found;
}

FoundLinks FindLinksInText(std::string_view page, const std::string& page_url,
                           const ExtractOptions& options) {
    FoundLinks found;
    CollectingSink sink(found);
    LinkExtractor(sink, page_url, options).ScanText(page);
    return found;
}

std::vector<PendingChild> RecordLinks(const FoundLinks& found, int32_t page_id, int32_t levels,
                                      ProjectStore& store, int32_t filter_id, int32_t auth_id,
                                      const ExtractOptions& options) {
    LinkRecorder recorder(store, page_id, levels, filter_id, auth_id, options);
    if (!recorder.page_found()) return {};
    RecordingSink sink(recorder);
    // What the sink named each link by, for the titles that follow it.
    std::vector<uint32_t> named(found.links.size(), 0);
    for (size_t i = 0; i < found.links.size(); ++i) {
        const FoundLink& link = found.links[i];
        if (link.role != Role::kTitle) {
            named[i] = sink.Add(link.role, link.scheme, link.text.c_str());
        } else if (link.names < i && named[link.names] != 0) {
            sink.Title(named[link.names], link.text);
        }
    }
    return recorder.TakePending();
}

std::vector<PendingChild> RecordLinksFromFile(const std::string& file, int32_t page_id,
                                              int32_t levels, ProjectStore& store,
                                              const std::string& page_url, int32_t filter_id,
                                              int32_t auth_id, const ExtractOptions& options) {
    LinkRecorder recorder(store, page_id, levels, filter_id, auth_id, options);
    if (recorder.page_found()) {
        RecordingSink sink(recorder);
        LinkExtractor(sink, page_url, options).ScanFile(file);
    }
    return recorder.TakePending();
}

std::vector<PendingChild> ExtractLinks(const std::string& file, int32_t page_id, int32_t levels,
                                       ProjectStore& store, const std::string& page_url,
                                       int32_t filter_id, int32_t auth_id,
                                       const ExtractOptions& options) {
    const std::string id = std::to_string(page_id);
    LogMessage(id + " - parsing");
    std::vector<PendingChild> pending = RecordLinksFromFile(file, page_id, levels, store, page_url,
                                                            filter_id, auth_id, options);
    LogMessage(id + " - done parsing");
    return pending;
}

}  // namespace fw
