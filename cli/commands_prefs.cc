// prefs: the engine preferences, shown and set through IDizozizPrefs.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/session.h"
#include "platform/text.h"

namespace corvalin::cli {
namespace {

using fw::IDizozizPrefs;

// One preference: its name and the members that read and write it.
struct Preference {
    const char* name;
    enum Kind { kFlag, kNumber, kText, kSecret } kind;
    fw::HRESULT (IDizozizPrefs::*get_number)(int32_t*) = nullptr;
    fw::HRESULT (IDizozizPrefs::*put_number)(int32_t) = nullptr;
    fw::HRESULT (IDizozizPrefs::*get_text)(std::string*) = nullptr;
    fw::HRESULT (IDizozizPrefs::*put_text)(const std::string&) = nullptr;
};

#define FW_NUMBER(name, kind)                                                           \
    Preference {                                                                        \
#name, Preference::kind, &IDizozizPrefs::get_##name, &IDizozizPrefs::put_##name \
    }
#define FW_TEXT(name, kind)                                                    \
    Preference {                                                               \
#name, Preference::kind, nullptr, nullptr, &IDizozizPrefs::get_##name, \
            &IDizozizPrefs::put_##name                                         \
    }

const Preference kPreferences[] = {
    FW_NUMBER(UseDialUp, kFlag),
    FW_TEXT(DialUpEntry, kText),
    FW_TEXT(DialUpUserName, kText),
    FW_TEXT(DialUpPassword, kSecret),
    FW_TEXT(DialUpDomain, kText),
    FW_TEXT(UserAgent, kText),
    FW_NUMBER(MaxThreads, kNumber),
    FW_NUMBER(MaxThreadsPerServer, kNumber),
    FW_NUMBER(PercentMaxThreads, kNumber),
    FW_NUMBER(Retries, kNumber),
    FW_NUMBER(UseProxy, kFlag),
    FW_NUMBER(ProxyType, kNumber),
    FW_TEXT(ProxyServer, kText),
    FW_NUMBER(ProxyPort, kNumber),
    FW_TEXT(ProxyUsername, kText),
    FW_TEXT(ProxyPassword, kSecret),
    FW_NUMBER(UseTimeLimit, kFlag),
    FW_NUMBER(LimitMinutes, kNumber),
    FW_NUMBER(LimitHours, kNumber),
    FW_NUMBER(UseByteLimit, kFlag),
    FW_NUMBER(LimitKiloBytes, kNumber),
    FW_NUMBER(FileFlags, kNumber),
    FW_NUMBER(LimitResponseKiloBytes, kNumber),
    FW_NUMBER(AllowUntrustedCertificates, kFlag),
};

#undef FW_NUMBER
#undef FW_TEXT

const Preference* FindPreference(std::string_view name) {
    for (const auto& pref : kPreferences) {
        if (platform::EqualsIgnoreCase(name, pref.name)) return &pref;
    }
    return nullptr;
}

// The value a preference gets from the command line; nullopt when it does
// not fit (*error says why).
std::optional<int32_t> NumberValue(const Preference& pref, std::string_view text,
                                   std::string* error) {
    if (pref.kind == Preference::kFlag) {
        for (const char* on : {"1", "on", "yes", "true"}) {
            if (platform::EqualsIgnoreCase(text, on)) return 1;
        }
        for (const char* off : {"0", "off", "no", "false"}) {
            if (platform::EqualsIgnoreCase(text, off)) return 0;
        }
        *error = std::string(pref.name) + " is 0 or 1, not '" + std::string(text) + "'";
        return std::nullopt;
    }
    auto value = ParseInteger(text, 0, INT32_MAX);
    if (!value) {
        *error = std::string(pref.name) + " needs a whole number of 0 or more, not '" +
                 std::string(text) + "'";
        return std::nullopt;
    }
    return static_cast<int32_t>(*value);
}

fw::HRESULT Read(IDizozizPrefs* prefs, const Preference& pref, std::string* text) {
    if (pref.get_number) {
        int32_t value = 0;
        fw::HRESULT hr = (prefs->*pref.get_number)(&value);
        *text = std::to_string(value);
        return hr;
    }
    return (prefs->*pref.get_text)(text);
}

}  // namespace

int RunPrefs(CommandContext& context) {
    // Every argument is checked before the first one is stored.
    struct Change {
        const Preference* pref;
        std::string text;
        int32_t number = 0;
    };
    std::vector<Change> changes;
    std::vector<const Preference*> shown;
    for (const std::string& arg : context.args.operands) {
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const Preference* pref = FindPreference(name);
        if (!pref) return UsageError(context.spec, "unknown preference '" + name + "'");
        if (eq == std::string::npos) {
            shown.push_back(pref);
            continue;
        }
        Change change{pref, arg.substr(eq + 1)};
        if (pref->put_number) {
            std::string error;
            auto number = NumberValue(*pref, change.text, &error);
            if (!number) return UsageError(context.spec, error);
            change.number = *number;
        } else if (change.text.find_first_of("\r\n") != std::string::npos) {
            return UsageError(context.spec, std::string(pref->name) + " must be a single line");
        }
        changes.push_back(std::move(change));
    }

    Session session(context.spec.name);
    if (!session.StartEngine()) return kExitFailure;
    fw::ComPtr<IDizozizPrefs> prefs;
    if (fw::HRESULT hr = session.engine()->Preferences(prefs.Receive()); fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot read the preferences");
    }
    for (const auto& change : changes) {
        const Preference& pref = *change.pref;
        fw::HRESULT hr = pref.put_number ? (prefs.get()->*pref.put_number)(change.number)
                                         : (prefs.get()->*pref.put_text)(change.text);
        if (fw::Failed(hr))
            return session.EngineFailure(hr, std::string("cannot set ") + pref.name);
    }
    if (context.args.operands.empty()) {
        for (const auto& pref : kPreferences) shown.push_back(&pref);
    }
    for (const Preference* pref : shown) {
        std::string value;
        if (fw::HRESULT hr = Read(prefs.get(), *pref, &value); fw::Failed(hr)) {
            return session.EngineFailure(hr, std::string("cannot read ") + pref->name);
        }
        // Passwords show only when asked for by name.
        if (pref->kind == Preference::kSecret && context.args.operands.empty() && !value.empty()) {
            value = "<hidden>";
        }
        std::printf("%s=%s\n", pref->name, value.c_str());
    }
    return kExitOk;
}

}  // namespace corvalin::cli
