#include "app/core/contents_page.h"

#include <algorithm>
#include <deque>
#include <set>
#include <unordered_set>

#include "app/core/display_title.h"
#include "app/core/html_output.h"
#include "app/core/project_layout.h"
#include "app/core/template_file.h"
#include "app/core/url_path.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace corvalin {
namespace {

bool LessIgnoringCase(const ContentsLink& a, const ContentsLink& b) {
    return std::lexicographical_compare(
        a.text.begin(), a.text.end(), b.text.begin(), b.text.end(),
        [](char x, char y) { return platform::ToLowerAscii(x) < platform::ToLowerAscii(y); });
}

// The name a file has in its URL: the part after the last "/".
std::string NameInUrl(const std::string& url) {
    const size_t slash = url.rfind('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

fw::HRESULT ReadFileTypeFiles(fw::IDizoziz* engine, int32_t start_id,
                              std::vector<ContentsLink>* files) {
    std::vector<int32_t> ids;
    fw::HRESULT result = FileTypeCollection(engine, start_id, &ids);
    for (int32_t id : ids) {
        fw::ComPtr<fw::IDizozizUrl> url;
        UrlFacts facts;
        fw::HRESULT hr = engine->ReadUrl(id, url.Receive());
        if (fw::Succeeded(hr)) hr = ReadUrlFacts(url.get(), &facts);
        if (fw::Failed(hr)) {
            if (fw::Succeeded(result)) result = hr;
            continue;
        }
        files->push_back({facts.file, true, NameInUrl(facts.url)});
    }
    std::stable_sort(files->begin(), files->end(), LessIgnoringCase);
    return result;
}

// The entry of one start URL. A failure in its file-type collection keeps
// the entry with the files gathered and is returned.
fw::HRESULT ReadEntry(fw::IDizoziz* engine, fw::IDizozizUrl* url, ContentsEntry* entry) {
    UrlFacts facts;
    std::string title;
    int32_t id = 0;
    bool file_type = false;
    fw::HRESULT hr = ReadUrlFacts(url, &facts);
    if (fw::Succeeded(hr)) hr = url->get_Title(&title);
    if (fw::Succeeded(hr)) hr = url->get_id(&id);
    if (fw::Succeeded(hr)) hr = IsFileTypeStartUrl(url, &file_type);
    if (fw::Failed(hr)) return hr;
    if (file_type) {
        entry->link = {facts.url, false, title.empty() ? facts.url : title};
        return ReadFileTypeFiles(engine, id, &entry->files);
    }
    if (!IsGrabbed(facts.status, facts.error) || facts.file.empty()) {
        entry->link = {facts.url, false, facts.url};
        return fw::S_OK;
    }
    std::string notes;
    hr = url->get_Notes(&notes);
    if (fw::Failed(hr)) return hr;
    std::string text = SplitDisplayTitle(notes).title.value_or(std::string());
    if (text.empty()) text = title;
    if (text.empty()) text = facts.url;
    entry->link = {facts.file, true, std::move(text)};
    return fw::S_OK;
}

void AppendLinkLine(const ContentsLink& link, std::string* page) {
    *page += "<dt><a href=\"";
    *page += link.target_is_file ? FileLinkTarget(link.target) : UrlLinkTarget(link.target);
    *page += "\">";
    *page += HtmlText(link.text);
    *page += "</a></dt>\n";
}

// Copies a template line by line; a line longer than kTemplateLineChars is
// written cut and ends the copy.
void AppendTemplate(const std::string& program_dir, const char* template_name,
                    std::string_view project_name, std::string* page) {
    if (program_dir.empty()) return;  // no program home: no templates
    const auto lines =
        ReadTemplateLines(WithSlash(program_dir) + template_name, kTemplateLineChars);
    if (!lines) return;
    const std::string name = HtmlText(project_name);
    for (const auto& line : *lines) {
        *page += FillMarker(line, kProjectNameMarker, name);
        *page += '\n';
    }
}

}  // namespace

fw::HRESULT IsFileTypeStartUrl(fw::IDizozizUrl* url, bool* is_file_type) {
    *is_file_type = false;
    int32_t level = 0;
    int32_t min_level = 0;
    int32_t count = 0;
    fw::ComPtr<fw::IDizozizEnumFilter> filters;
    fw::HRESULT hr = url->get_Level(&level);
    if (fw::Succeeded(hr)) hr = url->get_MinLevel(&min_level);
    if (fw::Failed(hr) || level != 0 || min_level != 0) return hr;
    hr = url->get_EnumFilters(filters.Receive());
    if (fw::Succeeded(hr)) hr = filters->get_Count(&count);
    for (int32_t i = 1; fw::Succeeded(hr) && i <= count && !*is_file_type; ++i) {
        fw::ComPtr<fw::IDizozizFilter> filter;
        int32_t type = 0;
        hr = filters->get_Item(i, filter.Receive());
        if (fw::Succeeded(hr)) hr = filter->get_Type(&type);
        *is_file_type = fw::Succeeded(hr) && type == fw::kFilterExtensions;
    }
    return hr;
}

fw::HRESULT FileTypeCollection(fw::IDizoziz* engine, int32_t start_id, std::vector<int32_t>* ids) {
    std::set<int32_t> found;
    std::unordered_set<int32_t> walked = {start_id};
    std::deque<int32_t> pages = {start_id};
    fw::HRESULT result = fw::S_OK;
    while (!pages.empty() && fw::Succeeded(result)) {
        const int32_t page = pages.front();
        pages.pop_front();
        fw::ComPtr<fw::IDizozizEnumUrl> children;
        int32_t count = 0;
        result = engine->NewEnumChildren(page, 1, children.Receive());
        if (fw::Succeeded(result)) result = children->get_Count(&count);
        for (int32_t i = 1; fw::Succeeded(result) && i <= count; ++i) {
            fw::ComPtr<fw::IDizozizUrl> child;
            int32_t id = 0;
            int32_t kind = 0;
            UrlFacts facts;
            result = children->get_Item(i, child.Receive());
            if (fw::Succeeded(result)) result = child->get_id(&id);
            if (fw::Succeeded(result)) result = child->get_Html(&kind);
            if (fw::Succeeded(result)) result = ReadUrlFacts(child.get(), &facts);
            if (fw::Failed(result)) break;
            if (kind == fw::kKindHtml) {
                // A page reached twice is walked once.
                if (walked.insert(id).second) pages.push_back(id);
            } else if (IsGrabbed(facts.status, facts.error)) {
                found.insert(id);
            }
        }
    }
    ids->assign(found.begin(), found.end());
    return result;
}

fw::HRESULT CollectContents(fw::IDizoziz* engine, std::vector<ContentsEntry>* entries) {
    entries->clear();
    fw::ComPtr<fw::IDizozizEnumUrl> roots;
    int32_t count = 0;
    fw::HRESULT hr = engine->NewEnumChildren(0, 1, roots.Receive());
    if (fw::Succeeded(hr)) hr = roots->get_Count(&count);
    if (fw::Failed(hr)) return hr;
    fw::HRESULT result = fw::S_OK;
    for (int32_t i = 1; i <= count; ++i) {
        fw::ComPtr<fw::IDizozizUrl> url;
        ContentsEntry entry;
        hr = roots->get_Item(i, url.Receive());
        if (fw::Succeeded(hr)) {
            hr = ReadEntry(engine, url.get(), &entry);
            if (!entry.link.target.empty()) entries->push_back(std::move(entry));
        }
        if (fw::Failed(hr) && fw::Succeeded(result)) result = hr;
    }
    return result;
}

std::string ContentsPageText(const std::vector<ContentsEntry>& entries,
                             const std::string& program_dir, std::string_view project_name) {
    std::string page;
    AppendTemplate(program_dir, kHeadTemplate, project_name, &page);
    for (const auto& entry : entries) {
        AppendLinkLine(entry.link, &page);
        if (entry.files.empty()) continue;
        page += "<dl>\n";
        for (const auto& file : entry.files) AppendLinkLine(file, &page);
        page += "</dl>\n";
    }
    AppendTemplate(program_dir, kFootTemplate, project_name, &page);
    return page;
}

bool WriteContentsPage(const std::vector<ContentsEntry>& entries, const std::string& content_dir,
                       const std::string& program_dir, std::string_view project_name) {
    if (content_dir.empty()) return false;
    return platform::ReplaceFileContents(WithSlash(content_dir) + kContentsPageName,
                                         ContentsPageText(entries, program_dir, project_name));
}

fw::HRESULT BuildContentsPage(fw::IDizoziz* engine, const std::string& content_dir,
                              const std::string& program_dir, std::string_view project_name,
                              bool* written) {
    std::vector<ContentsEntry> entries;
    const fw::HRESULT hr = CollectContents(engine, &entries);
    *written = WriteContentsPage(entries, content_dir, program_dir, project_name);
    return hr;
}

std::string ProjectName(std::string_view project_path) {
    std::string_view name = project_path.substr(project_path.find_last_of('/') + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) {
        name = name.substr(0, dot);
    }
    return std::string(name);
}

}  // namespace corvalin
