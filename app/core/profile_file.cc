#include "app/core/profile_file.h"

#include "platform/text.h"

namespace corvalin {

std::string CProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    std::string value = file_.ReadString(section, key, fallback);
    if (value.size() > kMaxValueChars)
        value = std::string(platform::CutUtf8(value, kMaxValueChars));
    return value;
}

long CProfileFile::GetInt(std::string_view section, std::string_view key, long fallback) const {
    return file_.ReadInt(section, key, fallback);
}

bool CProfileFile::GetBool(std::string_view section, std::string_view key, bool fallback) const {
    return GetInt(section, key, fallback ? 1 : 0) != 0;
}

bool CProfileFile::PutString(std::string_view section, std::string_view key,
                             const std::optional<std::string>& value) const {
    if (value && value->find_first_of("\r\n") != std::string::npos) return false;
    return file_.WriteString(section, key, value);
}

bool CProfileFile::PutInt(std::string_view section, std::string_view key, long value) const {
    return file_.WriteInt(section, key, value);
}

bool CProfileFile::PutBool(std::string_view section, std::string_view key, bool value) const {
    return file_.WriteString(section, key, std::string(value ? "1" : "0"));
}

bool CProfileFile::KeyExists(std::string_view section, std::string_view key) const {
    // A value can never hold a line feed, so this fallback cannot be stored.
    static constexpr char kMissing[] = "\n";
    return file_.ReadString(section, key, kMissing) != kMissing;
}

}  // namespace corvalin
