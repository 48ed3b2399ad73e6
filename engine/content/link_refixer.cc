#include "engine/content/link_refixer.h"

#include <optional>
#include <string_view>

#include "engine/content/css_references.h"
#include "engine/content/html_text.h"
#include "engine/content/link_values.h"
#include "engine/content/local_path.h"
#include "engine/content/page_rewriter.h"
#include "engine/content/script_links.h"
#include "engine/content/source_set.h"
#include "engine/content/stored_file_lookup.h"
#include "engine/interface/fetchwell.h"
#include "engine/store/project_store.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

namespace {

constexpr size_t kRestoredPathCapacity = 1024;

// Where a value stands: what happens to a file: link without a row differs.
enum class Context { kLink, kSource, kBackground };

std::string_view WithoutLeadingSlash(std::string_view path) {
    if (path.starts_with('/')) path.remove_prefix(1);
    return path;
}

// The common walk of both passes; a pass decides per link what it becomes.
class StoredPagePass : public PageRewriter {
  public:
    StoredPagePass(ProjectStore& store, const std::string& file, const std::string& data_dir)
        : store_(store), data_dir_(data_dir), scripts_(ScriptLinks()) {
        // Escaped as the fixed page writes stored paths, so that a link
        // resolved against it and unescaped again gives the path on disk.
        base_.Parse("file:" + EscapeLocalPath(file));
    }

  protected:
    // What the resolved link_ (written `quoted` or not) becomes; nothing to
    // keep the value as it was.
    virtual std::optional<std::string> Replacement(Context context, bool quoted) = 0;

    void OnHref(std::string_view value) override { LinkValue(value, Context::kLink); }
    void OnFrameSource(std::string_view value) override { LinkValue(value, Context::kLink); }
    void OnEventAttribute(std::string_view value) override { ScriptStrings(value); }
    void OnSource(std::string_view value) override { Value(value, Context::kSource); }
    void OnBackground(std::string_view value) override { Value(value, Context::kBackground); }
    void OnMeta(std::string_view tag) override;
    void OnLinkTag(std::string_view tag) override;
    void OnSourceSet(std::string_view value) override;
    void OnStyleText(std::string_view text) override;

    // The row of the stored file link_ names, or 0.
    int32_t RowOfLink() { return FindStoredFile(store_, link_, data_dir_); }

    ProjectStore& store_;
    ParsedUrl link_;

  private:
    void LinkValue(std::string_view value, Context context);
    void Value(std::string_view value, Context context);
    void ScriptStrings(std::string_view value);
    // What the unquoted, trimmed link `value` in a source set or style text
    // becomes; nothing to keep it.
    std::optional<std::string> EmbeddedReplacement(std::string_view value);

    const std::string data_dir_;
    const ScriptLinkTest& scripts_;
    ParsedUrl base_;
};

void StoredPagePass::LinkValue(std::string_view value, Context context) {
    if (StartsWithIgnoreCase(value, "javascript:")) {
        ScriptStrings(value);
    } else {
        Value(value, context);
    }
}

void StoredPagePass::Value(std::string_view value, Context context) {
    if (value.starts_with('#')) {
        Put(value);
        return;
    }
    std::string_view inner = value;
    std::string_view quote;
    bool backslash = false;
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        quote = value.substr(0, 1);
        inner = value.substr(1, value.size() - 2);
        backslash = inner.ends_with('\\');
        if (backslash) inner.remove_suffix(1);
    }
    inner = platform::TrimView(inner);
    std::optional<std::string> replacement;
    if (!inner.empty() && ResolveLink(base_, inner, &link_)) {
        replacement = Replacement(context, !quote.empty());
    }
    if (!replacement) {
        Put(value);
        return;
    }
    Put(quote);
    Put(*replacement);
    if (backslash) Put("\\");
    Put(quote);
}

void StoredPagePass::ScriptStrings(std::string_view value) {
    size_t pos = 0;
    while (pos < value.size()) {
        const size_t open = value.find_first_of("'\"", pos);
        const size_t close =
            open == std::string_view::npos ? open : value.find(value[open], open + 1);
        if (close == std::string_view::npos) break;
        Put(value.substr(pos, open + 1 - pos));
        const std::string_view piece = value.substr(open + 1, close - open - 1);
        const std::string_view name = platform::TrimView(piece);
        std::optional<std::string> replacement;
        if (!name.empty() && !HasWhitespace(name) && scripts_.IsLink(name, false) &&
            ResolveLink(base_, name, &link_)) {
            replacement = Replacement(Context::kLink, true);
        }
        Put(replacement ? std::string_view(*replacement) : piece);
        Put(value.substr(close, 1));
        pos = close + 1;
    }
    Put(value.substr(pos));
}

std::optional<std::string> StoredPagePass::EmbeddedReplacement(std::string_view value) {
    if (value.starts_with('#') || !ResolveLink(base_, value, &link_)) return std::nullopt;
    return Replacement(Context::kSource, false);
}

void StoredPagePass::OnSourceSet(std::string_view value) {
    size_t written = 0;
    for (std::string_view url : SourceSetUrls(value)) {
        auto replacement = EmbeddedReplacement(url);
        if (!replacement) continue;
        const size_t begin = static_cast<size_t>(url.data() - value.data());
        Put(value.substr(written, begin - written));
        Put(SourceSetSafe(std::move(*replacement)));
        written = begin + url.size();
    }
    Put(value.substr(written));
}

void StoredPagePass::OnStyleText(std::string_view text) {
    size_t written = 0;
    CssReference ref;
    for (CssReferences refs(text); refs.Next(&ref);) {
        if (!IsCssLinkValue(ref.value)) continue;
        auto replacement = EmbeddedReplacement(ref.value);
        if (!replacement) continue;
        Put(text.substr(written, ref.begin - written));
        Put(EscapeUrlForStyle(*replacement));
        written = ref.end;
    }
    Put(text.substr(written));
}

void StoredPagePass::OnMeta(std::string_view tag) {
    const auto refresh = RefreshParts(tag);
    if (!refresh) {
        Put(tag);
        return;
    }
    Put(refresh->head);
    Value(refresh->url, Context::kLink);
    Put(refresh->tail);
}

void StoredPagePass::OnLinkTag(std::string_view tag) {
    const std::string_view href = TagValueAsWritten(tag, "href=");
    if (href.empty()) {
        Put(tag);
        return;
    }
    const size_t start = static_cast<size_t>(href.data() - tag.data());
    Put(tag.substr(0, start));
    Value(href, Context::kLink);
    Put(tag.substr(start + href.size()));
}

class LinkRefixer : public StoredPagePass {
  public:
    using StoredPagePass::StoredPagePass;

  private:
    std::optional<std::string> Replacement(Context, bool) override {
        const int32_t id = RowOfLink();
        UrlRecord row;
        if (id <= 0) return std::nullopt;
        {
            auto guard = store_.Lock();
            if (!store_.LoadRow(id, &row)) return std::nullopt;
        }
        if (row.status == kStatusGrabbed) return std::nullopt;
        return EscapeUrlForPage(row.url) + EscapeUrlForPage(FragmentOf(link_));
    }
};

class LinkRestorer : public StoredPagePass {
  public:
    LinkRestorer(ProjectStore& store, const std::string& file, const std::string& data_dir,
                 const std::string& page_url)
        : StoredPagePass(store, file, data_dir) {
        page_.Parse(page_url);
    }

  private:
    std::optional<std::string> Replacement(Context context, bool quoted) override;
    // The row's web address as seen from the page.
    std::string WebAddress(const std::string& url);

    ParsedUrl page_;
    ParsedUrl row_url_;
};

std::optional<std::string> LinkRestorer::Replacement(Context context, bool quoted) {
    if (link_.scheme() != UrlScheme::File) return std::nullopt;
    const int32_t id = RowOfLink();
    UrlRecord row;
    bool found = false;
    if (id > 0) {
        auto guard = store_.Lock();
        found = store_.LoadRow(id, &row);
    }
    if (found) return WebAddress(row.url) + EscapeUrlForPage(FragmentOf(link_));
    switch (context) {
        case Context::kLink:
            break;
        case Context::kSource:
            if (quoted) return std::nullopt;
            break;
        case Context::kBackground:
            return std::string();
    }
    return EscapeUrlForPage(link_.Text()) + EscapeUrlForPage(FragmentOf(link_));
}

std::string LinkRestorer::WebAddress(const std::string& url) {
    row_url_.Parse(url);
    const bool same_site = row_url_.scheme() == page_.scheme() && row_url_.port() == page_.port() &&
                           row_url_.host() && page_.host() &&
                           platform::EqualsIgnoreCase(row_url_.host(), page_.host());
    if (same_site) {
        std::string path(WithoutLeadingSlash(row_url_.path()));
        const std::string_view from = WithoutLeadingSlash(page_.path());
        if (RelativePath(from, &path, kRestoredPathCapacity, '/') && !path.empty()) {
            if (const char* query = row_url_.query()) path += query;
            return EscapeUrlForPage(path);
        }
    }
    return EscapeUrlForPage(url);
}

}  // namespace

bool RefixPageFile(const std::string& file, ProjectStore& store, const std::string& data_dir) {
    std::string start;
    platform::ReadFilePrefix(file, kPageTopBytes, &start);
    LinkRefixer refixer(store, file, data_dir);
    return refixer.Rewrite(file, file, RepairedPageTop(start));
}

bool RestorePageFile(const std::string& file, const std::string& target, ProjectStore& store,
                     const std::string& data_dir, const std::string& page_url) {
    std::string start;
    platform::ReadFilePrefix(file, kPageTopBytes, &start);
    LinkRestorer restorer(store, file, data_dir, page_url);
    return restorer.Rewrite(file, target, RepairedPageTop(start));
}

}  // namespace fw
