#include "engine/content/html_text.h"

#include <algorithm>

#include "platform/text.h"

namespace fw {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
         pos = hit + from.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace

std::string DecodeEntities(std::string_view text) {
    if (text.find('&') == std::string_view::npos) return std::string(text);
    return ReplaceAll(ReplaceAll(text, "&amp;", "&"), "&nbsp;", " ");
}

std::string SpacesToEscapes(std::string_view text) {
    return ReplaceAll(text, " ", "%20");
}

std::string LinkAttributeText(std::string_view value) {
    if (value.find('&') != std::string_view::npos) {
        return SpacesToEscapes(platform::TrimView(DecodeEntities(value)));
    }
    return SpacesToEscapes(platform::TrimView(value));
}

std::string CollapseWhitespace(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool in_run = false;
    for (char c : text) {
        if (platform::IsLineWhite(c)) {
            if (!in_run) out.push_back(' ');
            in_run = true;
        } else {
            out.push_back(c);
            in_run = false;
        }
    }
    return out;
}

bool HasWhitespace(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return platform::IsLineWhite(c); });
}

std::optional<MetaRefresh> RefreshParts(std::string_view tag) {
    if (platform::FindIgnoreCase(tag, "http-equiv=\"refresh\"") == std::string_view::npos) {
        return std::nullopt;
    }
    constexpr std::string_view kUrl = "url=";
    size_t url = platform::FindIgnoreCase(tag, kUrl);
    if (url == std::string_view::npos) return std::nullopt;
    url += kUrl.size();
    size_t end = tag.find('"', url);
    if (end == std::string_view::npos) {
        // Unquoted: the tag's own closing ">" is not part of the URL.
        end = tag.size();
        if (end > url && tag[end - 1] == '>') --end;
    }
    return MetaRefresh{tag.substr(0, url), tag.substr(url, end - url), tag.substr(end)};
}

std::string_view TagValueAsWritten(std::string_view tag, std::string_view word) {
    size_t pos = platform::FindIgnoreCase(tag, word);
    if (pos == std::string_view::npos || word.empty()) return {};
    pos += word.size();
    while (pos < tag.size() && (platform::IsLineWhite(tag[pos]) || tag[pos] == '>')) ++pos;
    if (pos == tag.size()) return {};
    size_t end;
    if (tag[pos] == '"' || tag[pos] == '\'') {
        char quote = tag[pos++];
        end = tag.find(quote, pos);
    } else {
        end = pos;
        while (end < tag.size() && !platform::IsLineWhite(tag[end]) && tag[end] != '>') ++end;
    }
    if (end == std::string_view::npos) end = tag.size();
    return tag.substr(pos, end - pos);
}

std::string TagValue(std::string_view tag, std::string_view word) {
    return platform::ToLowerAscii(TagValueAsWritten(tag, word));
}

ScriptLinkTest::ScriptLinkTest(const Items& extensions, const Items& page_extensions)
    : extensions_(Normalised(extensions)), page_extensions_(Normalised(page_extensions)) {}

ScriptLinkTest::ScriptLinkTest(std::string_view extensions, std::string_view page_extensions)
    : ScriptLinkTest(Split(extensions), Split(page_extensions)) {}

ScriptLinkTest::Items ScriptLinkTest::Split(std::string_view list) {
    Items items;
    while (!list.empty()) {
        size_t comma = list.find(',');
        items.emplace(list.substr(0, comma));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return items;
}

ScriptLinkTest::Items ScriptLinkTest::Normalised(const Items& items) {
    Items out;
    for (const std::string& item : items) {
        const std::string_view trimmed = platform::TrimView(item);
        if (!trimmed.empty()) out.insert(platform::ToLowerAscii(trimmed));
    }
    return out;
}

bool ScriptLinkTest::Listed(std::string_view extension, bool page) const {
    const Items& items = page ? page_extensions_ : extensions_;
    return items.count(platform::ToLowerAscii(extension)) > 0;
}

bool ScriptLinkTest::IsLink(std::string_view text, bool page) const {
    size_t dot = text.rfind('.');
    if (dot != std::string_view::npos && Listed(text.substr(dot + 1), page)) return true;
    size_t query = text.find('?');
    if (query == std::string_view::npos) return false;
    dot = text.substr(0, query).rfind('.');
    return dot != std::string_view::npos && Listed(text.substr(dot + 1, query - dot - 1), page);
}

}  // namespace fw
