#include "app/core/content_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "app/core/contents_page.h"
#include "app/core/html_output.h"
#include "app/core/project_layout.h"
#include "app/core/template_file.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace corvalin {
namespace {

namespace fs = std::filesystem;

// The regular files directly inside `dir`, by name.
std::vector<std::string> FileNames(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_error;
        if (it->is_regular_file(type_error)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A name autorun.inf can carry on its line: no control characters.
bool IsOneLineName(std::string_view name) {
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

bool WriteExportIndex(const std::string& program_dir, const std::string& folder,
                      std::string_view file) {
    if (program_dir.empty()) return false;
    const auto lines = ReadTemplateLines(WithSlash(program_dir) + kExportTemplate, 0);
    if (!lines) return false;
    std::string path(file);
    std::replace(path.begin(), path.end(), '\\', '/');
    const std::string target = FileLinkTarget(path);
    std::string page;
    for (const auto& line : *lines) {
        page += FillMarker(line, kUrlMarker, target);
        page += '\n';
    }
    return platform::ReplaceFileContents(WithSlash(folder) + kExportIndexName, page);
}

int CopyEdgeFiles(const ProjectFile& project, const std::string& program_dir,
                  const std::string& target) {
    // An edge URL is on the web: nothing local to copy.
    if (program_dir.empty() || target.empty() || !project.UseEdgeFile() ||
        project.EdgeFile().find("://") != std::string::npos) {
        return 0;
    }
    const std::string source = WithSlash(program_dir) + kEdgeFolder + "/";
    int copied = 0;
    for (const auto& name : FileNames(source)) {
        if (platform::CopyReplacing(source + name, WithSlash(target) + name)) ++copied;
    }
    return copied;
}

bool WriteDiscAutorun(const std::string& program_dir, const std::string& folder,
                      std::string* start_file) {
    const std::string dir = WithSlash(folder);
    std::vector<std::string> pages;
    for (const auto& name : FileNames(dir)) {
        if (platform::FindIgnoreCase(name, ".htm") != std::string::npos && IsOneLineName(name)) {
            pages.push_back(name);
        }
    }
    if (pages.empty()) return false;
    // The start page an export writes comes first; by name alone an edge
    // page could be the one a disc opens.
    std::string start = pages.front();
    for (const char* preferred : {kContentsPageName, kExportIndexName}) {
        if (std::find(pages.begin(), pages.end(), preferred) != pages.end()) start = preferred;
    }
    const std::string launcher = dir + kLauncherName;
    // A missing launcher is passed over: autorun.inf still names the page.
    if (!program_dir.empty() &&
        platform::CopyReplacing(WithSlash(program_dir) + kLauncherName, launcher)) {
        ::chmod(launcher.c_str(), 0755);
    }
    if (!platform::ReplaceFileContents(dir + kAutorunName,
                                       "[autorun]\nOPEN=autorun.exe " + start + "\n")) {
        return false;
    }
    *start_file = start;
    return true;
}

fw::HRESULT ExportContent(fw::IDizoziz* engine, const ProjectFile& project,
                          const std::string& content_dir, const std::string& program_dir,
                          const std::string& folder, int32_t id, bool page) {
    fw::HRESULT hr = page ? engine->ExportPage(id, folder) : engine->ExportTree(id, folder);
    if (fw::Failed(hr)) return hr;
    if (id != 0) {
        fw::ComPtr<fw::IDizozizUrl> url;
        std::string file;
        hr = engine->EditUrl(id, url.Receive());
        if (fw::Succeeded(hr)) hr = url->get_file(&file);
        if (fw::Failed(hr)) return hr;
        WriteExportIndex(program_dir, folder, file);
    } else if (const std::string contents = WithSlash(content_dir) + kContentsPageName;
               platform::FileExists(contents)) {
        platform::CopyReplacing(contents, WithSlash(folder) + kContentsPageName);
    }
    CopyEdgeFiles(project, program_dir, folder);
    return fw::S_OK;
}

}  // namespace corvalin
