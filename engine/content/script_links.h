// The process-wide script-link test: which strings found in scripts and
// event attributes name files worth following, by their extension.
#pragma once

#include "engine/content/html_text.h"

namespace fw {

// Built once per process, on first use, from the engine preferences'
// ScriptExtentions and ScriptExtentionsHTML lists; read-only afterwards, so
// any thread may use it.
const ScriptLinkTest& ScriptLinks();

}  // namespace fw
