#include "engine/support/engine_preferences.h"

#include <algorithm>
#include <climits>

#include "platform/profile_file.h"
#include "platform/program_home.h"
#include "platform/text.h"

namespace fw {
namespace {

constexpr size_t kMaxListItem = 127;
constexpr size_t kMaxNameLength = 64;  // of an override's section or key

constexpr char kDialUp[] = "DialUp";
constexpr char kBrowser[] = "Browser";
constexpr char kNetwork[] = "Network";
constexpr char kLimits[] = "Limits";
constexpr char kData[] = "Data";

constexpr char kDefaultScriptExtensions[] = "gif,jpg,htm,html,js,swf,class,xml,jar,asp,pl,cfm,css";
constexpr char kDefaultScriptExtensionsHtml[] = "htm,html,asp,pl,cfm";

std::string OverrideKey(std::string_view section, std::string_view key) {
    std::string joined;
    joined.reserve(section.size() + key.size() + 1);
    for (char c : section) joined += platform::ToUpperAscii(c);
    joined += '/';
    for (char c : key) joined += platform::ToUpperAscii(c);
    return joined;
}

}  // namespace

EnginePreferences::EnginePreferences() = default;

EnginePreferences::EnginePreferences(std::string settings_path) {
    std::call_once(path_once_, [&] { settings_path_ = std::move(settings_path); });
}

const std::string& EnginePreferences::settings_path() const {
    std::call_once(path_once_, [this] { settings_path_ = platform::SettingsFilePath(); });
    return settings_path_;
}

bool EnginePreferences::SetOverride(const std::string& section, const std::string& key,
                                    const std::string& value) {
    if (section.empty() || key.empty() || section.size() > kMaxNameLength ||
        key.size() > kMaxNameLength) {
        return false;
    }
    const std::string joined = OverrideKey(section, key);
    std::lock_guard<std::mutex> guard(overrides_mutex_);
    if (value.empty()) {
        overrides_.erase(joined);
    } else {
        overrides_[joined] = value;
    }
    return true;
}

void EnginePreferences::ClearOverrides() {
    std::lock_guard<std::mutex> guard(overrides_mutex_);
    overrides_.clear();
}

std::optional<std::string> EnginePreferences::Override(const char* section, const char* key) const {
    std::lock_guard<std::mutex> guard(overrides_mutex_);
    if (overrides_.empty()) return std::nullopt;
    auto found = overrides_.find(OverrideKey(section, key));
    if (found == overrides_.end()) return std::nullopt;
    return found->second;
}

std::string EnginePreferences::ReadText(const char* section, const char* key,
                                        const char* fallback) const {
    if (auto value = Override(section, key)) return *value;
    return platform::ProfileFile(settings_path()).ReadText(section, key, fallback);
}

int32_t EnginePreferences::ReadInt(const char* section, const char* key, int32_t fallback) const {
    if (auto value = Override(section, key)) {
        return static_cast<int32_t>(
            std::clamp<long>(platform::LeadingInteger(*value), INT32_MIN, INT32_MAX));
    }
    return platform::ProfileFile(settings_path()).ReadInt32(section, key, fallback);
}

bool EnginePreferences::ReadBool(const char* section, const char* key) const {
    return ReadInt(section, key, 0) != 0;
}

void EnginePreferences::WriteText(const char* section, const char* key,
                                  const std::string& value) {
    platform::ProfileFile(settings_path()).WriteString(section, key, value);
}

void EnginePreferences::WriteInt(const char* section, const char* key, int32_t value) {
    platform::ProfileFile(settings_path()).WriteInt(section, key, value);
}

void EnginePreferences::WriteBool(const char* section, const char* key, bool value) {
    WriteText(section, key, value ? "1" : "0");
}

bool EnginePreferences::UseDialUp() const { return ReadBool(kDialUp, "Use"); }
void EnginePreferences::SetUseDialUp(bool use) { WriteBool(kDialUp, "Use", use); }
std::string EnginePreferences::DialUpEntry() const { return ReadText(kDialUp, "Entry", ""); }
void EnginePreferences::SetDialUpEntry(const std::string& v) { WriteText(kDialUp, "Entry", v); }
std::string EnginePreferences::DialUpUserName() const { return ReadText(kDialUp, "UserName", ""); }
void EnginePreferences::SetDialUpUserName(const std::string& v) {
    WriteText(kDialUp, "UserName", v);
}
std::string EnginePreferences::DialUpPassword() const { return ReadText(kDialUp, "Password", ""); }
void EnginePreferences::SetDialUpPassword(const std::string& v) {
    WriteText(kDialUp, "Password", v);
}
std::string EnginePreferences::DialUpDomain() const { return ReadText(kDialUp, "Domain", "*"); }
void EnginePreferences::SetDialUpDomain(const std::string& v) { WriteText(kDialUp, "Domain", v); }
int32_t EnginePreferences::DialUpRetries() const { return ReadInt(kDialUp, "Retries", 2); }
void EnginePreferences::SetDialUpRetries(int32_t v) { WriteInt(kDialUp, "Retries", v); }

std::string EnginePreferences::UserAgent() const { return ReadText(kBrowser, "UserAgent", ""); }
void EnginePreferences::SetUserAgent(const std::string& v) { WriteText(kBrowser, "UserAgent", v); }

int32_t EnginePreferences::MaxThreads() const { return ReadInt(kNetwork, "MaxThreads", 8); }
void EnginePreferences::SetMaxThreads(int32_t v) { WriteInt(kNetwork, "MaxThreads", v); }
int32_t EnginePreferences::MaxThreadsPerServer() const {
    return ReadInt(kNetwork, "MaxThreadsPerServer", 2);
}
void EnginePreferences::SetMaxThreadsPerServer(int32_t v) {
    WriteInt(kNetwork, "MaxThreadsPerServer", v);
}
int32_t EnginePreferences::Retries() const { return ReadInt(kNetwork, "Retries", 2); }
void EnginePreferences::SetRetries(int32_t v) { WriteInt(kNetwork, "Retries", v); }
bool EnginePreferences::AllowUntrustedCertificates() const {
    return ReadBool(kNetwork, "AllowUntrustedCertificates");
}
void EnginePreferences::SetAllowUntrustedCertificates(bool allow) {
    WriteBool(kNetwork, "AllowUntrustedCertificates", allow);
}
int32_t EnginePreferences::PercentMaxThreads() const {
    return ReadInt(kNetwork, "PercentMaxThreads", 50);
}
void EnginePreferences::SetPercentMaxThreads(int32_t v) {
    WriteInt(kNetwork, "PercentMaxThreads", v);
}

bool EnginePreferences::UseTimeLimit() const { return ReadBool(kLimits, "TimeLimit"); }
void EnginePreferences::SetUseTimeLimit(bool v) { WriteBool(kLimits, "TimeLimit", v); }
int32_t EnginePreferences::LimitMinutes() const { return ReadInt(kLimits, "Minutes", 0); }
void EnginePreferences::SetLimitMinutes(int32_t v) { WriteInt(kLimits, "Minutes", v); }
int32_t EnginePreferences::LimitHours() const { return ReadInt(kLimits, "Hours", 0); }
void EnginePreferences::SetLimitHours(int32_t v) { WriteInt(kLimits, "Hours", v); }
bool EnginePreferences::UseByteLimit() const { return ReadBool(kLimits, "ByteLimit"); }
void EnginePreferences::SetUseByteLimit(bool v) { WriteBool(kLimits, "ByteLimit", v); }
int32_t EnginePreferences::LimitKiloBytes() const { return ReadInt(kLimits, "Bytes", 0); }
void EnginePreferences::SetLimitKiloBytes(int32_t v) { WriteInt(kLimits, "Bytes", v); }
int32_t EnginePreferences::LimitResponseKiloBytes() const {
    return ReadInt(kLimits, "ResponseBytes", kDefaultResponseKiloBytes);
}
void EnginePreferences::SetLimitResponseKiloBytes(int32_t v) {
    WriteInt(kLimits, "ResponseBytes", v);
}

int32_t EnginePreferences::CommitInterval() const {
    return std::clamp(ReadInt(kData, "CommitInterval", 1000), 100, 60000);
}
bool EnginePreferences::SyncCommits() const {
    return ReadBool(kData, "SyncCommits");
}
int32_t EnginePreferences::FileFlags() const { return ReadInt(kData, "FileFlags", 4); }
void EnginePreferences::SetFileFlags(int32_t v) { WriteInt(kData, "FileFlags", v); }

void EnginePreferences::ReadScriptExtensions(std::set<std::string>* extensions) const {
    SplitList(ReadText(kData, "ScriptExtentions", kDefaultScriptExtensions), extensions);
}

void EnginePreferences::ReadScriptExtensionsHtml(std::set<std::string>* extensions) const {
    SplitList(ReadText(kData, "ScriptExtentionsHTML", kDefaultScriptExtensionsHtml), extensions);
}

void EnginePreferences::SplitList(const std::string& value, std::set<std::string>* items) {
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(',', start);
        size_t end = comma == std::string::npos ? value.size() : comma;
        if (end - start > kMaxListItem) return;
        // An empty item would make every name ending in "." match.
        if (end > start) items->insert(value.substr(start, end - start));
        if (comma == std::string::npos) return;
        start = comma + 1;
    }
}

}  // namespace fw
