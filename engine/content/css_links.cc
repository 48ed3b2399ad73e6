#include "engine/content/css_links.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string_view>

#include "engine/content/css_references.h"
#include "engine/content/link_recorder.h"
#include "engine/content/link_values.h"
#include "engine/content/page_output.h"
#include "engine/content/stored_file_lookup.h"
#include "engine/support/log.h"

namespace fw {

namespace {

// A line longer than this is handed on in pieces of this size, so a style
// sheet without line feeds cannot make a line take unbounded memory; a
// reference cut by such a piece is missed.
constexpr size_t kMaxLine = 16 * 1024 * 1024;

// Calls `line` for every line of the file, without its line feed, and says
// whether one ended it. False when the file cannot be opened or read.
bool ForEachLine(const std::string& path, const std::function<void(std::string_view, bool)>& line) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string pending;
    char buffer[64 * 1024];
    bool ok = true;
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        std::string_view data(buffer, static_cast<size_t>(got));
        while (!data.empty()) {
            const size_t feed = data.find('\n');
            const size_t take = std::min(feed == std::string_view::npos ? data.size() : feed,
                                         kMaxLine - pending.size());
            pending.append(data.substr(0, take));
            data.remove_prefix(take);
            if (!data.empty() && data.front() == '\n') {
                line(pending, true);
                pending.clear();
                data.remove_prefix(1);
            } else if (pending.size() == kMaxLine) {
                line(pending, false);
                pending.clear();
            }
        }
    }
    ::close(fd);
    if (ok && !pending.empty()) line(pending, false);
    return ok;
}

std::string CommentSafe(std::string url) {
    for (size_t pos; (pos = url.find("*/")) != std::string::npos;) url.replace(pos, 1, "%2A");
    return url;
}

}  // namespace

std::vector<PendingChild> ExtractCssLinks(const std::string& file, int32_t css_id, int32_t levels,
                                          ProjectStore& store, const std::string& css_url,
                                          int32_t filter_id, int32_t auth_id,
                                          const ExtractOptions& options) {
    const std::string id = std::to_string(css_id);
    LogMessage(id + " - parsing(css)");
    LinkRecorder recorder(store, css_id, levels, filter_id, auth_id, options);
    if (recorder.page_found()) {
        ParsedUrl base;
        base.Parse(css_url);
        ParsedUrl link;
        ForEachLine(file, [&](std::string_view line, bool) {
            CssReference ref;
            for (CssReferences refs(line); refs.Next(&ref);) {
                if (IsCssLinkValue(ref.value) && ResolveLink(base, ref.value, &link)) {
                    recorder.Resource(link);
                }
            }
        });
    }
    LogMessage(id + " - done parsing(css)");
    return recorder.TakePending();
}

bool FixCssFile(const std::string& source, const std::string& target, ProjectStore& store,
                const std::string& current_file, const std::string& css_url, OutputMode mode) {
    PageOutput output(target, mode);
    if (!output.ok()) return false;
    std::ostream& out = output.stream();
    out << "/* " << CommentSafe(css_url) << " */\n";
    ParsedUrl base;
    base.Parse(css_url);
    ParsedUrl link;
    const bool read = ForEachLine(source, [&](std::string_view line, bool ended) {
        CssReference ref;
        size_t written = 0;
        for (CssReferences refs(line); refs.Next(&ref);) {
            if (!IsCssLinkValue(ref.value) || !ResolveLink(base, ref.value, &link)) continue;
            out << line.substr(written, ref.begin - written);
            // A reference that is not stored is emptied rather than left to
            // reach the web (or nothing) from the offline copy.
            if (auto file = StyleSheetFileFor(store, link.Text(), current_file)) {
                out << EscapeLocalPath(*file);
                if (const char* fragment = link.fragment()) out << EscapeUrlForStyle(fragment);
            }
            written = ref.end;
        }
        out << line.substr(written);
        // A piece of an over-long line continues on the next one.
        if (ended || line.size() < kMaxLine) out << '\n';
    });
    return read && output.Commit();
}

}  // namespace fw
