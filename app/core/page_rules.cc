#include "app/core/page_rules.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"

namespace corvalin {

bool ReplaceAll(const ReplacementPattern* pattern, std::string_view text,
                std::string_view replacement, size_t max_bytes, std::string* out) {
    size_t pos = 0;
    while (pattern && pos < text.size()) {
        const auto match = pattern->Search(text.substr(pos));
        if (!match) break;
        if (out->size() + match->start + replacement.size() > max_bytes) return false;
        out->append(text, pos, match->start);
        out->append(replacement);
        pos += match->start + match->length;
    }
    if (out->size() + (text.size() - pos) > max_bytes) return false;
    out->append(text, pos, std::string_view::npos);
    return true;
}

PageRules::PageRules(const std::vector<ReplacementRule>& rules, size_t max_bytes)
    : max_bytes_(max_bytes) {
    for (const auto& rule : rules) {
        if (rule.IsTextRule()) continue;
        const bool line = rule.type == "l" || rule.type == "L";
        const bool match_case = rule.type == "L" || rule.type == "F";
        rules_.push_back({line ? Mode::kLine : Mode::kWholeFile,
                          ReplacementPattern::Compile(rule.search, !match_case), rule.replace});
    }
}

bool PageRules::ApplyRule(const Rule& rule, std::string_view text, std::string* out) const {
    out->clear();
    out->reserve(text.size() + 1);
    const ReplacementPattern* pattern = rule.pattern ? &*rule.pattern : nullptr;
    if (rule.mode == Mode::kWholeFile) {
        return ReplaceAll(pattern, text, rule.replacement, max_bytes_, out);
    }
    // Lines end at a line feed; a carriage return before it belongs to the
    // line end too, so "$" anchors before it and the page keeps its line
    // ends. A last line without one gains a line feed.
    size_t pos = 0;
    while (pos < text.size()) {
        const void* found = std::memchr(text.data() + pos, '\n', text.size() - pos);
        size_t next = found ? static_cast<size_t>(static_cast<const char*>(found) - text.data())
                            : text.size();
        size_t line_end = next;
        if (found && line_end > pos && text[line_end - 1] == '\r') --line_end;
        if (!ReplaceAll(pattern, text.substr(pos, line_end - pos), rule.replacement, max_bytes_,
                        out)) {
            return false;
        }
        const std::string_view ending =
            found ? text.substr(line_end, next + 1 - line_end) : std::string_view("\n");
        if (out->size() + ending.size() > max_bytes_) return false;
        out->append(ending);
        pos = found ? next + 1 : text.size();
    }
    return true;
}

std::string PageRules::Apply(std::string_view text) const {
    std::string current;
    std::string next;
    bool have_result = false;  // `current` holds the last rule's result
    for (const auto& rule : rules_) {
        // A rule whose result would be too large is passed over, as one that
        // cannot write its output is.
        if (ApplyRule(rule, have_result ? std::string_view(current) : text, &next)) {
            current.swap(next);
            have_result = true;
        }
    }
    if (!have_result) return std::string(text);
    return current;
}

PageRewrite PageRules::RewritePage(const std::string& path) const {
    // O_NONBLOCK: something other than a file (a FIFO) must not hold us up.
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd.ok() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<unsigned long long>(info.st_size) > max_bytes_) {
        return PageRewrite::kNotRead;
    }
    std::string page(static_cast<size_t>(info.st_size), '\0');
    if (!platform::PReadAll(fd.get(), page.data(), page.size(), 0)) return PageRewrite::kNotRead;
    fd.Close();
    const std::string result = Apply(page);
    if (result == page) return PageRewrite::kUnchanged;
    if (!platform::ReplaceFileContents(path, result, info.st_mode & 07777)) {
        return PageRewrite::kNotWritten;
    }
    return PageRewrite::kRewritten;
}

namespace {

// A stored file name is relative and stays below the content directory.
bool IsContentRelative(std::string_view file) {
    if (file.empty() || file.front() == '/') return false;
    size_t start = 0;
    while (start <= file.size()) {
        size_t end = file.find('/', start);
        if (end == std::string_view::npos) end = file.size();
        if (file.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

fw::HRESULT RewriteFinishedPage(fw::IDizoziz* engine, const std::string& content_dir, int32_t id,
                                const PageRules& rules, std::optional<PageRewrite>* outcome) {
    outcome->reset();
    if (rules.empty()) return fw::S_OK;
    fw::ComPtr<fw::IDizozizUrl> url;
    int32_t kind = 0;
    std::string file;
    fw::HRESULT hr = engine->EditUrl(id, url.Receive());
    if (fw::Succeeded(hr)) hr = url->get_Html(&kind);
    if (fw::Succeeded(hr) && kind == fw::kKindHtml) hr = url->get_file(&file);
    if (fw::Failed(hr) || kind != fw::kKindHtml || !IsContentRelative(file)) return hr;
    *outcome = rules.RewritePage(content_dir + file);
    return fw::S_OK;
}

}  // namespace corvalin
