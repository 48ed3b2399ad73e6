// libFuzzer target for the private-profile files: the project file (.cvn)
// and the shared settings file, which anyone may edit by hand. Reads the
// keys the programs read, then writes one and reads it back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "engine/support/engine_preferences.h"
#include "platform/file_ops.h"
#include "platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fw_profile_fuzz." + std::to_string(::getpid()) + ".ini";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!platform::ReplaceFileContents(path, bytes, 0600)) return 0;
    const platform::ProfileFile file(path);
    file.ReadString("DALK", "DataDirectory", "");
    file.ReadString("DALK", "SRCDirectory", "");
    file.ReadInt32("CVN", "RunAfter", 0);
    const fw::EnginePreferences prefs(path);
    prefs.MaxThreads();
    prefs.FileFlags();
    prefs.UserAgent();
    std::set<std::string> items;
    prefs.ReadScriptExtensions(&items);
    prefs.ReadScriptExtensionsHtml(&items);
    if (!file.WriteString("Fuzz", "Key", "value")) return 0;
    if (file.ReadString("Fuzz", "Key", "") != "value") std::abort();
    return 0;
}
