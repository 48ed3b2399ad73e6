// Page replacements: a project's search-and-replace rules, applied to every
// page a grab finishes so the offline copy differs from what the server sent
// where the user asked for it.
//
// Rule types: "l" line by line, case ignored; "L" line by line, case
// significant; "f" whole file, case ignored; "F" whole file, case
// significant; "t" and "T" are text rules, kept but never applied to pages;
// any other type works as "f". Rules run in their order, each on the result
// of the one before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/project_file.h"
#include "app/core/replacement_pattern.h"
#include "engine/interface/fetchwell.h"

namespace corvalin {

// Writes `text` to `out` with every match of `pattern` replaced, searching
// again after each match. An invalid pattern (nullptr) copies the text
// unchanged. False, with *out incomplete, when the result would pass
// `max_bytes`.
bool ReplaceAll(const ReplacementPattern* pattern, std::string_view text,
                std::string_view replacement, size_t max_bytes, std::string* out);

enum class PageRewrite {
    kUnchanged,   // the rules changed nothing, so the file was not touched
    kRewritten,   // the file now holds the rules' result
    kNotRead,     // missing, unreadable or larger than the limit: left alone
    kNotWritten,  // the result could not be written: the page is as it was
};

class PageRules {
  public:
    // A page larger than this is left alone, and a rule whose result would
    // be larger is passed over: rules must not exhaust memory.
    static constexpr size_t kMaxPageBytes = size_t{256} << 20;

    PageRules() = default;
    // Compiles the page rules among `rules` (text rules are left out), in
    // their order. `max_bytes` bounds a page and each rule's result.
    explicit PageRules(const std::vector<ReplacementRule>& rules, size_t max_bytes = kMaxPageBytes);

    bool empty() const { return rules_.empty(); }

    // Runs every rule over `text`, in order.
    std::string Apply(std::string_view text) const;

    // Applies the rules to the file at `path`. The result is written to a
    // temporary file beside the page and renamed over it, so the page is
    // never seen half-written, even after a crash.
    PageRewrite RewritePage(const std::string& path) const;

  private:
    enum class Mode { kLine, kWholeFile };
    struct Rule {
        Mode mode;
        std::optional<ReplacementPattern> pattern;  // nullopt: invalid
        std::string replacement;
    };

    // One rule over `text` into *out; false when the result would be too large.
    bool ApplyRule(const Rule& rule, std::string_view text, std::string* out) const;

    std::vector<Rule> rules_;
    size_t max_bytes_ = kMaxPageBytes;
};

// The post-processing of one URL a grab finished: when there are rules and
// the URL is an HTML page (Html 1) with a stored file, that file (below
// `content_dir`, which ends in "/") is rewritten and *outcome says how it
// went; otherwise *outcome is nullopt. Returns the failing engine call's
// result (the page is then left alone) or S_OK.
fw::HRESULT RewriteFinishedPage(fw::IDizoziz* engine, const std::string& content_dir, int32_t id,
                                const PageRules& rules, std::optional<PageRewrite>* outcome);

}  // namespace corvalin
