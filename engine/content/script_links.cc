#include "engine/content/script_links.h"

#include <set>
#include <string>

#include "engine/support/engine_preferences.h"

namespace fw {

namespace {

std::string Joined(const std::set<std::string>& items) {
    std::string list;
    for (const std::string& item : items) {
        if (!list.empty()) list += ',';
        list += item;
    }
    return list;
}

}  // namespace

const ScriptLinkTest& ScriptLinks() {
    static const ScriptLinkTest test = [] {
        EnginePreferences prefs;
        std::set<std::string> extensions;
        std::set<std::string> page_extensions;
        prefs.ReadScriptExtensions(&extensions);
        prefs.ReadScriptExtensionsHtml(&page_extensions);
        return ScriptLinkTest(Joined(extensions), Joined(page_extensions));
    }();
    return test;
}

}  // namespace fw
