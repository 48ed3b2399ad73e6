// The engine's settings in the shared settings file (sections "DialUp",
// "Browser", "Network", "Limits", "Data"; "Proxy" belongs to ProxySettings).
//
// Nothing is cached but the file's path: every getter reads the file, every
// setter writes its key at once, so a change takes effect at the next grab.
// Overrides (SetOverride) stand in front of the file for this object only and
// are never written: they carry one program's choices for its own grabs
// without touching the preferences other programs share.
// A missing file, section or key reads as the default below; a failed write
// is not reported. Safe to use from many threads (the settings file
// serialises access).
//
//   Section   Key                   Type     Default
//   DialUp    Use                   bool     0
//   DialUp    Entry                 text     ""
//   DialUp    UserName              text     ""
//   DialUp    Password              text     ""
//   DialUp    Domain                text     "*"
//   DialUp    Retries               int      2      (dial attempts)
//   Browser   UserAgent             text     ""     (empty: the default agent)
//   Network   MaxThreads            int      8
//   Network   MaxThreadsPerServer   int      2
//   Network   Retries               int      2      (kept for callers only)
//   Network   PercentMaxThreads     int      50
//   Network   AllowUntrustedCertificates bool 0 (1: a certificate that fails
//                                   verification is accepted, with a warning)
//   Limits    TimeLimit             bool     0
//   Limits    Minutes               int      0
//   Limits    Hours                 int      0
//   Limits    ByteLimit             bool     0
//   Limits    Bytes                 int      0      (kilobytes)
//   Limits    ResponseBytes         int      1048576 (kilobytes: 1 GiB; 0 none)
//   Data      FileFlags             int      4
//   Data      CommitInterval        int      1000   (ms between commits of a grab's table changes;
//   100-60000) Data      SyncCommits           bool     0      (1: commits survive a crash of the
//   machine too) Data      ScriptExtentions      list
//   "gif,jpg,htm,html,js,swf,class,xml,jar,asp,pl,cfm,css" Data      ScriptExtentionsHTML  list
//   "htm,html,asp,pl,cfm"
//
// Integers are stored as decimal text, booleans as "1" or "0" (any non-zero
// value reads as true); texts longer than 1022 bytes are cut when read.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace fw {

class EnginePreferences {
public:
    // Uses the program's settings file (platform::SettingsFilePath()),
    // looked up on first use.
    EnginePreferences();
    // Uses `settings_path`.
    explicit EnginePreferences(std::string settings_path);
    EnginePreferences(const EnginePreferences&) = delete;
    EnginePreferences& operator=(const EnginePreferences&) = delete;

    const std::string& settings_path() const;

    bool UseDialUp() const;
    void SetUseDialUp(bool use);
    std::string DialUpEntry() const;
    void SetDialUpEntry(const std::string& entry);
    std::string DialUpUserName() const;
    void SetDialUpUserName(const std::string& name);
    std::string DialUpPassword() const;
    void SetDialUpPassword(const std::string& password);
    std::string DialUpDomain() const;
    void SetDialUpDomain(const std::string& domain);
    int32_t DialUpRetries() const;
    void SetDialUpRetries(int32_t retries);

    std::string UserAgent() const;
    void SetUserAgent(const std::string& agent);

    int32_t MaxThreads() const;
    void SetMaxThreads(int32_t count);
    int32_t MaxThreadsPerServer() const;
    void SetMaxThreadsPerServer(int32_t count);
    int32_t Retries() const;
    void SetRetries(int32_t retries);
    int32_t PercentMaxThreads() const;
    void SetPercentMaxThreads(int32_t percent);
    // Off by default: anyone between the user and a site could otherwise
    // serve the copy and receive the user's cookies and passwords.
    bool AllowUntrustedCertificates() const;
    void SetAllowUntrustedCertificates(bool allow);

    bool UseTimeLimit() const;
    void SetUseTimeLimit(bool use);
    int32_t LimitMinutes() const;
    void SetLimitMinutes(int32_t minutes);
    int32_t LimitHours() const;
    void SetLimitHours(int32_t hours);
    bool UseByteLimit() const;
    void SetUseByteLimit(bool use);
    int32_t LimitKiloBytes() const;
    void SetLimitKiloBytes(int32_t kilobytes);
    // The cap on one response's body (a page or file), in kilobytes; 0 for
    // none. A response past it ends as a broken transfer.
    static constexpr int32_t kDefaultResponseKiloBytes = 1024 * 1024;
    int32_t LimitResponseKiloBytes() const;
    void SetLimitResponseKiloBytes(int32_t kilobytes);

    int32_t FileFlags() const;
    void SetFileFlags(int32_t flags);
    // Milliseconds between two commits of a running grab's table changes:
    // at most this much finished work is lost when the process is killed.
    // Values outside 100-60000 read as the nearest bound.
    int32_t CommitInterval() const;
    bool SyncCommits() const;

    // The script-link extension sets: the value split at "," into the
    // caller's set, as written (case kept, repeats once, empty items
    // skipped); an item longer than 127 bytes ends the list.
    void ReadScriptExtensions(std::set<std::string>* extensions) const;
    void ReadScriptExtensionsHtml(std::set<std::string>* extensions) const;

    // Makes every getter of `section`/`key` (case-insensitive) answer `value`
    // as if the file held it, for this object only; nothing is written. An
    // empty value removes the override. False for an empty or overlong
    // (over 64 bytes) section or key.
    bool SetOverride(const std::string& section, const std::string& key, const std::string& value);
    void ClearOverrides();

    // The list rule above, for a value already read.
    static void SplitList(const std::string& value, std::set<std::string>* items);

private:
    std::string ReadText(const char* section, const char* key, const char* fallback) const;
    int32_t ReadInt(const char* section, const char* key, int32_t fallback) const;
    bool ReadBool(const char* section, const char* key) const;
    void WriteText(const char* section, const char* key, const std::string& value);
    void WriteInt(const char* section, const char* key, int32_t value);
    void WriteBool(const char* section, const char* key, bool value);

    // The override of section/key, when there is one. REQUIRES: holds
    // nothing; takes overrides_mutex_.
    std::optional<std::string> Override(const char* section, const char* key) const;

    mutable std::once_flag path_once_;
    mutable std::string settings_path_;
    mutable std::mutex overrides_mutex_;
    std::map<std::string, std::string> overrides_;  // "SECTION/KEY" in upper case -> value
};

}  // namespace fw
