// AppSettings: the desktop program's own keys in the shared settings file
// (corvalin.ini in the program home), with their defaults, and the list of
// recently opened projects kept in the same file.
//
//   [General]           HTMLEditor, UseDefaultBrowser, Browser, Export
//   [Proxy]             ProxyServer, UseBrowsers (the engine owns the rest)
//   [Recent File List]  File1 .. File6, most recent first
#pragma once

#include <string>
#include <vector>

#include "app/core/profile_file.h"

namespace corvalin {

class AppSettings {
  public:
    static constexpr int kRecentFiles = 6;
    // Opens a file with the desktop's own choice of program; the editor used
    // until the user names one.
    static constexpr char kDefaultHtmlEditor[] = "xdg-open";

    // The settings file in the program home.
    AppSettings();
    explicit AppSettings(std::string path) : file_(std::move(path)) {}

    const CProfileFile& profile() const { return file_; }
    const std::string& path() const { return file_.path(); }

    // [General] HTMLEditor; a missing or empty value reads as the default.
    std::string HtmlEditor() const;
    bool SetHtmlEditor(const std::string& editor) const;
    // [General] UseDefaultBrowser: pages open with the desktop's default
    // browser rather than the Browser command. Default on.
    bool UseDefaultBrowser() const;
    bool SetUseDefaultBrowser(bool use) const;
    // [General] Browser: the browser's command line, used when
    // UseDefaultBrowser is off.
    std::string Browser() const;
    bool SetBrowser(const std::string& command) const;
    // [General] Export: the last export target directory.
    std::string ExportDirectory() const;
    bool SetExportDirectory(const std::string& dir) const;
    // [Proxy] ProxyServer: 1-based proxy kind of the options sheet, 0 none.
    int ProxyServer() const;
    bool SetProxyServer(int kind) const;
    // [Proxy] UseBrowsers: take the proxy from the default browser before
    // each grab. Default off.
    bool UseBrowsers() const;
    bool SetUseBrowsers(bool use) const;

    // The recent projects, most recent first, empty entries left out.
    std::vector<std::string> RecentFiles() const;
    // Puts `path` first (dropping an older entry of it) and keeps six.
    void AddRecentFile(const std::string& path) const;
    // Drops `path` from the list (a project that could not be opened).
    void RemoveRecentFile(const std::string& path) const;

  private:
    void WriteRecentFiles(const std::vector<std::string>& files) const;

    CProfileFile file_;
};

}  // namespace corvalin
