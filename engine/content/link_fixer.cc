#include "engine/content/link_fixer.h"

#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "engine/content/css_references.h"
#include "engine/content/html_text.h"
#include "engine/content/link_values.h"
#include "engine/content/local_path.h"
#include "engine/content/page_rewriter.h"
#include "engine/content/script_links.h"
#include "engine/content/source_set.h"
#include "engine/content/stored_file_lookup.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

namespace {

// An applet tag is held back until its ">" so that its codebase and code
// can be rewritten together; a longer one is written as it came.
constexpr size_t kMaxHeldApplet = 64 * 1024;

class LinkFixer : public PageRewriter {
  public:
    LinkFixer(ProjectStore& store, std::string_view current_file, std::string_view page_url,
              const std::string& edge_file)
        : store_(store), current_file_(current_file), scripts_(ScriptLinks()) {
        // Buckets for the links of a usual page, so the caches do not rehash
        // while it is fixed.
        page_files_.reserve(32);
        resource_files_.reserve(16);
        base_.Parse(page_url);
        if (!edge_file.empty()) {
            std::string edge = edge_file;
            if (RelativePath(current_file_, &edge, kRelativeCapacity, '/')) {
                edge_prefix_ = EscapeLocalPath(edge);
            }
        }
    }

  protected:
    void OnHref(std::string_view value) override { PageLinkValue(value); }
    void OnFrameSource(std::string_view value) override { PageLinkValue(value); }
    void OnEventAttribute(std::string_view value) override { ScriptStrings(value, false); }
    void OnMeta(std::string_view tag) override;
    void OnSource(std::string_view value) override;
    void OnBackground(std::string_view value) override;
    void OnLinkTag(std::string_view tag) override;
    void OnFormAction(std::string_view value) override;
    void OnSourceSet(std::string_view value) override;
    void OnStyleText(std::string_view text) override;
    void OnBaseTag(std::string_view) override {}
    void OnBaseHref(std::string_view value) override { base_.ParseRelative(value); }
    void OnBaseEnd(std::string_view) override {}
    void OnText(std::string_view text) override;
    void OnObjectStart(bool applet) override;
    void OnCodebase(std::string_view value) override;
    void OnCode(std::string_view value) override;
    void OnObjectEnd() override;
    void Finish() override { ReleaseApplet(); }

  private:
    using Lookup = std::optional<std::string> (*)(ProjectStore&, std::string_view,
                                                  std::string_view);
    // Found by the URL's text as it stands, so that a link met again (the
    // reason for the cache) builds no key string.
    struct UrlHash {
        using is_transparent = void;
        size_t operator()(std::string_view url) const { return std::hash<std::string_view>{}(url); }
    };
    using LookupCache =
        std::unordered_map<std::string, std::optional<std::string>, UrlHash, std::equal_to<>>;

    bool Resolve(std::string_view value) { return ResolveLink(base_, value, &link_); }
    // The stored file for link_, remembered for the page: pages link to the
    // same few files (menus, icons) many times.
    const std::optional<std::string>& Cached(LookupCache& cache, Lookup lookup);
    const std::optional<std::string>& PageFile() { return Cached(page_files_, &PageFileFor); }
    const std::optional<std::string>& ResourceFile() {
        return Cached(resource_files_, &ResourceFileFor);
    }
    void PageLinkValue(std::string_view value);
    // The text a link to the page link_ is written as.
    std::string PageTarget();
    // The text the embedded file `value` (unquoted) is written as: its
    // stored file, else its absolute URL; the value itself when it is not a
    // link.
    std::string ResourceTarget(std::string_view value);
    void ScriptStrings(std::string_view value, bool page);
    std::string ScriptPiece(std::string_view piece, bool page);
    // Writes the held-back applet tag with its own codebase and code.
    void ReleaseApplet();
    void WriteApplet(std::string_view directory, std::string_view code);

    ProjectStore& store_;
    const std::string current_file_;
    const ScriptLinkTest& scripts_;
    std::string edge_prefix_;  // empty: no edge links
    ParsedUrl base_;
    ParsedUrl link_;
    LookupCache page_files_;
    LookupCache resource_files_;

    bool applet_ = false;
    std::string held_;  // the applet tag so far, without its codebase and code values
    std::string codebase_;
    std::string code_;
    size_t codebase_at_ = std::string::npos;  // where in held_ the value stood
    size_t code_at_ = std::string::npos;
};

const std::optional<std::string>& LinkFixer::Cached(LookupCache& cache, Lookup lookup) {
    const std::string_view url = link_.Text();
    if (auto found = cache.find(url); found != cache.end()) return found->second;
    auto entry = cache.emplace(url, std::nullopt).first;
    entry->second = lookup(store_, entry->first, current_file_);
    return entry->second;
}

std::string LinkFixer::PageTarget() {
    const char* text = link_.Text();
    if (const auto& file = PageFile()) {
        return EscapeLocalPath(*file) + EscapeUrlForPage(FragmentOf(link_));
    }
    if (!edge_prefix_.empty()) return edge_prefix_ + "?U=" + EscapeUrlForPage(text);
    return EscapeUrlForPage(text) + EscapeUrlForPage(FragmentOf(link_));
}

std::string LinkFixer::ResourceTarget(std::string_view value) {
    if (!Resolve(platform::TrimView(value))) return std::string(value);
    if (const auto& file = ResourceFile()) {
        return EscapeLocalPath(*file) + EscapeUrlForPage(FragmentOf(link_));
    }
    return EscapeUrlForPage(link_.Text()) + EscapeUrlForPage(FragmentOf(link_));
}

void LinkFixer::PageLinkValue(std::string_view value) {
    if (value.starts_with('#')) {
        Put(value);
        return;
    }
    if (StartsWithIgnoreCase(value, "javascript:")) {
        ScriptStrings(value, true);
        return;
    }
    const std::string href = LinkAttributeText(value);
    std::string_view target = href;
    const bool quoted = target.starts_with('\'');
    if (quoted) {
        target.remove_prefix(1);
        if (target.ends_with('\'')) target.remove_suffix(1);
    }
    if (!Resolve(target) || !IsWebScheme(link_.scheme())) {
        Put(href);
        return;
    }
    if (quoted) Put("'");
    Put(PageTarget());
    if (quoted) Put("'");
}

void LinkFixer::ScriptStrings(std::string_view value, bool page) {
    size_t pos = 0;
    while (pos < value.size()) {
        const size_t open = value.find_first_of("'\"", pos);
        const size_t close =
            open == std::string_view::npos ? open : value.find(value[open], open + 1);
        if (close == std::string_view::npos) break;
        Put(value.substr(pos, open + 1 - pos));
        Put(ScriptPiece(value.substr(open + 1, close - open - 1), page));
        Put(value.substr(close, 1));
        pos = close + 1;
    }
    Put(value.substr(pos));
}

std::string LinkFixer::ScriptPiece(std::string_view piece, bool page) {
    const std::string_view name = platform::TrimView(piece);
    if (name.empty() || HasWhitespace(name) || !scripts_.IsLink(name, false) || !Resolve(name) ||
        !IsWebScheme(link_.scheme())) {
        return std::string(piece);
    }
    if (page || scripts_.IsLink(name, true)) return PageTarget();
    if (const auto& file = ResourceFile()) {
        return EscapeLocalPath(*file);
    }
    return std::string(piece);
}

void LinkFixer::OnMeta(std::string_view tag) {
    const auto refresh = RefreshParts(tag);
    if (!refresh) {
        Put(tag);
        return;
    }
    Put(refresh->head);
    if (Resolve(platform::TrimView(refresh->url)) && IsWebScheme(link_.scheme())) {
        // Written absolute when not stored: relative to the stored page it
        // would name a file that is not there.
        if (const auto& file = PageFile()) {
            Put(EscapeLocalPath(*file));
        } else {
            Put(EscapeUrlForPage(link_.Text()));
        }
        Put(EscapeUrlForPage(FragmentOf(link_)));
    } else {
        Put(refresh->url);
    }
    Put(refresh->tail);
}

void LinkFixer::OnSource(std::string_view value) {
    if (value.starts_with('"') || value.starts_with('\'')) {
        // A string in a script or a param tag, quotes included.
        if (value.size() < 2) {
            Put(value);
            return;
        }
        std::string_view inner = value.substr(1, value.size() - 2);
        const bool backslash = inner.ends_with('\\');
        if (backslash) inner.remove_suffix(1);
        inner = platform::TrimView(inner);
        std::optional<std::string> file;
        if (!inner.empty() && !HasWhitespace(inner) && scripts_.IsLink(inner, false) &&
            Resolve(inner)) {
            file = ResourceFile();
        }
        if (!file) {
            Put(value);
            return;
        }
        Put(value.substr(0, 1));
        Put(EscapeLocalPath(*file));
        if (backslash) Put("\\");
        Put(value.substr(value.size() - 1));
        return;
    }
    Put(ResourceTarget(value));
}

void LinkFixer::OnSourceSet(std::string_view value) {
    size_t written = 0;
    for (std::string_view url : SourceSetUrls(value)) {
        const size_t begin = static_cast<size_t>(url.data() - value.data());
        Put(value.substr(written, begin - written));
        Put(SourceSetSafe(ResourceTarget(url)));
        written = begin + url.size();
    }
    Put(value.substr(written));
}

// Style text in a page is one of the page's resources: a reference that is
// not stored is written as its web address, as an image's would be.
void LinkFixer::OnStyleText(std::string_view text) {
    size_t written = 0;
    CssReference ref;
    for (CssReferences refs(text); refs.Next(&ref);) {
        if (!IsCssLinkValue(ref.value) || !Resolve(ref.value)) continue;
        Put(text.substr(written, ref.begin - written));
        if (const auto& file = ResourceFile()) {
            Put(EscapeLocalPath(*file));
        } else {
            Put(EscapeUrlForStyle(link_.Text()));
        }
        Put(EscapeUrlForStyle(FragmentOf(link_)));
        written = ref.end;
    }
    Put(text.substr(written));
}

void LinkFixer::OnBackground(std::string_view value) {
    if (!Resolve(platform::TrimView(value))) {
        Put(value);  // not a link (a data: image): nothing to rewrite
        return;
    }
    // A background that is not stored is dropped rather than fetched from
    // the web by the offline copy.
    if (const auto& file = PageFile()) {
        Put(EscapeLocalPath(*file));
    }
}

void LinkFixer::OnLinkTag(std::string_view tag) {
    const std::string_view href = TagValueAsWritten(tag, "href=");
    if (href.empty() || !Resolve(platform::TrimView(href))) {
        Put(tag);
        return;
    }
    const size_t start = static_cast<size_t>(href.data() - tag.data());
    Put(tag.substr(0, start));
    if (const auto& file = ResourceFile()) {
        Put(EscapeLocalPath(*file));
    } else {
        Put(EscapeUrlForPage(link_.Text()));
    }
    Put(EscapeUrlForPage(FragmentOf(link_)));
    Put(tag.substr(start + href.size()));
}

void LinkFixer::OnFormAction(std::string_view value) {
    // Forms keep posting to the web.
    if (Resolve(platform::TrimView(value))) {
        Put(EscapeUrlForPage(link_.Text()));
    } else {
        Put(value);
    }
}

void LinkFixer::OnText(std::string_view text) {
    Put(text);
    if (hold_ && held_.size() > kMaxHeldApplet) ReleaseApplet();
}

void LinkFixer::OnObjectStart(bool applet) {
    ReleaseApplet();
    applet_ = applet;
    codebase_.clear();
    code_.clear();
    codebase_at_ = code_at_ = std::string::npos;
    if (applet) {
        held_.clear();
        hold_ = &held_;
    }
}

void LinkFixer::OnCodebase(std::string_view value) {
    if (!applet_) {
        if (!Resolve(value)) {
            Put(value);
        } else if (const auto& file = PageFile()) {
            Put(EscapeLocalPath(*file));
        }
        return;
    }
    if (!hold_) {
        Put(value);
        return;
    }
    // A value cut into pieces by a very long tag arrives in several calls.
    if (codebase_at_ != held_.size()) codebase_.clear();
    codebase_at_ = held_.size();
    codebase_.append(value);
}

void LinkFixer::OnCode(std::string_view value) {
    if (!applet_ || !hold_) {
        Put(value);
        return;
    }
    if (code_at_ != held_.size()) code_.clear();
    code_at_ = held_.size();
    code_.append(value);
}

void LinkFixer::OnObjectEnd() {
    if (!applet_ || !hold_) return;
    if (code_at_ == std::string::npos) {
        ReleaseApplet();
        return;
    }
    std::string code = code_;
    if (code.find_first_of("/.") == std::string::npos) code += ".class";
    link_.CopyFrom(base_);
    if (codebase_at_ != std::string::npos) link_.ParseRelative(codebase_);
    link_.ParseRelative(code);
    const char* text = link_.Text();
    if (!text) {
        ReleaseApplet();
        return;
    }
    std::string target;
    if (const auto& file = PageFile()) {
        target = EscapeLocalPath(*file);
    } else {
        target = EscapeUrlForPage(text);
    }
    const size_t slash = target.rfind('/');
    if (codebase_at_ == std::string::npos) {
        // Without a codebase attribute there is no place for the directory:
        // the code names the whole path instead.
        WriteApplet({}, target);
    } else if (slash == std::string::npos) {
        WriteApplet(".", target);
    } else {
        WriteApplet(std::string_view(target).substr(0, slash + 1),
                    std::string_view(target).substr(slash + 1));
    }
}

void LinkFixer::ReleaseApplet() {
    if (hold_) WriteApplet(codebase_, code_);
}

void LinkFixer::WriteApplet(std::string_view directory, std::string_view code) {
    // Insert at the later position first, so the earlier one stays valid.
    struct Insert {
        size_t at;
        std::string_view text;
    };
    Insert first{codebase_at_, directory};
    Insert second{code_at_, code};
    if (first.at != std::string::npos && second.at != std::string::npos && first.at > second.at) {
        std::swap(first, second);
    }
    for (const Insert& insert : {second, first}) {
        if (insert.at != std::string::npos && insert.at <= held_.size()) {
            held_.insert(insert.at, insert.text);
        }
    }
    hold_ = nullptr;
    applet_ = false;
    codebase_at_ = code_at_ = std::string::npos;
    Put(held_);
    held_.clear();
}

}  // namespace

bool FixPageFile(const std::string& source, const std::string& target, ProjectStore& store,
                 const std::string& current_file, const std::string& page_url,
                 const std::string& edge_file, OutputMode mode) {
    std::string start;
    platform::ReadFilePrefix(source, kPageTopBytes, &start);
    LinkFixer fixer(store, current_file, page_url, edge_file);
    return fixer.Rewrite(source, target, FixedPageTop(start, page_url), mode);
}

}  // namespace fw
