#include "engine/content/script_links.h"

#include <set>
#include <string>

#include "engine/support/engine_preferences.h"

namespace fw {

const ScriptLinkTest& ScriptLinks() {
    static const ScriptLinkTest test = [] {
        EnginePreferences prefs;
        std::set<std::string> extensions;
        std::set<std::string> page_extensions;
        prefs.ReadScriptExtensions(&extensions);
        prefs.ReadScriptExtensionsHtml(&page_extensions);
        return ScriptLinkTest(extensions, page_extensions);
    }();
    return test;
}

}  // namespace fw
