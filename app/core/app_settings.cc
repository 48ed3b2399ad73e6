#include "app/core/app_settings.h"

#include <algorithm>

#include "platform/program_home.h"

namespace corvalin {
namespace {

constexpr char kGeneral[] = "General";
constexpr char kProxy[] = "Proxy";
constexpr char kRecent[] = "Recent File List";

std::string RecentKey(int n) {
    return "File" + std::to_string(n);
}

}  // namespace

AppSettings::AppSettings() : file_(platform::SettingsFilePath()) {}

std::string AppSettings::HtmlEditor() const {
    std::string editor = file_.GetString(kGeneral, "HTMLEditor", "");
    return editor.empty() ? kDefaultHtmlEditor : editor;
}

bool AppSettings::SetHtmlEditor(const std::string& editor) const {
    return file_.PutString(kGeneral, "HTMLEditor", editor);
}

bool AppSettings::UseDefaultBrowser() const {
    return file_.GetBool(kGeneral, "UseDefaultBrowser", true);
}

bool AppSettings::SetUseDefaultBrowser(bool use) const {
    return file_.PutBool(kGeneral, "UseDefaultBrowser", use);
}

std::string AppSettings::Browser() const {
    return file_.GetString(kGeneral, "Browser", "");
}

bool AppSettings::SetBrowser(const std::string& command) const {
    return file_.PutString(kGeneral, "Browser", command);
}

std::string AppSettings::ExportDirectory() const {
    return file_.GetString(kGeneral, "Export", "");
}

bool AppSettings::SetExportDirectory(const std::string& dir) const {
    return file_.PutString(kGeneral, "Export", dir);
}

int AppSettings::ProxyServer() const {
    return static_cast<int>(file_.GetInt(kProxy, "ProxyServer", 0));
}

bool AppSettings::SetProxyServer(int kind) const {
    return file_.PutInt(kProxy, "ProxyServer", kind);
}

bool AppSettings::UseBrowsers() const {
    return file_.GetBool(kProxy, "UseBrowsers", false);
}

bool AppSettings::SetUseBrowsers(bool use) const {
    return file_.PutBool(kProxy, "UseBrowsers", use);
}

std::vector<std::string> AppSettings::RecentFiles() const {
    std::vector<std::string> files;
    for (int n = 1; n <= kRecentFiles; ++n) {
        std::string file = file_.GetString(kRecent, RecentKey(n), "");
        if (!file.empty() && std::find(files.begin(), files.end(), file) == files.end()) {
            files.push_back(std::move(file));
        }
    }
    return files;
}

void AppSettings::AddRecentFile(const std::string& path) const {
    if (path.empty()) return;
    std::vector<std::string> files = RecentFiles();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    files.insert(files.begin(), path);
    WriteRecentFiles(files);
}

void AppSettings::RemoveRecentFile(const std::string& path) const {
    std::vector<std::string> files = RecentFiles();
    const auto kept = std::remove(files.begin(), files.end(), path);
    if (kept == files.end()) return;
    files.erase(kept, files.end());
    WriteRecentFiles(files);
}

void AppSettings::WriteRecentFiles(const std::vector<std::string>& files) const {
    for (int n = 1; n <= kRecentFiles; ++n) {
        const size_t i = static_cast<size_t>(n - 1);
        // A path holding a line break cannot be stored; it is left out.
        if (i >= files.size() || !file_.PutString(kRecent, RecentKey(n), files[i])) {
            file_.PutString(kRecent, RecentKey(n), std::nullopt);
        }
    }
}

}  // namespace corvalin
