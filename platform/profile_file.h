// Private-profile ("INI") files: the settings store of both programs.
//
// Semantics follow the classic private-profile calls: section and key names
// compare case-insensitively, values are read trimmed (and without one pair of
// enclosing quotes), a missing file, section or key yields the caller's
// default, integer reads take the leading decimal digits, writing a null value
// deletes the key, and writes create the file and the section as needed.
//
// Every write replaces the whole file atomically (a temporary file in the same
// directory, then rename), so a reader never sees a half-written file. All
// ProfileFile objects naming the same path share one process-wide lock, which
// makes them safe to use from many threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class ProfileFile {
public:
    explicit ProfileFile(std::string path);

    const std::string& path() const { return path_; }

    // The value of section/key, or `fallback` when the file, the section or
    // the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;

    // The leading (optionally signed) decimal digits of the value; `fallback`
    // when the key is missing. A value without leading digits reads as 0.
    long ReadInt(std::string_view section, std::string_view key, long fallback) const;

    // The engine's readings of a setting: a value as ReadInt clamped to 32
    // bits, and text as ReadString cut to kMaxSettingText bytes without
    // splitting a UTF-8 character.
    static constexpr size_t kMaxSettingText = 1022;
    int32_t ReadInt32(std::string_view section, std::string_view key, int32_t fallback) const;
    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view fallback) const;

    // Stores `value` under section/key; std::nullopt deletes the key.
    // Returns false when the file could not be written.
    bool WriteString(std::string_view section, std::string_view key,
                     const std::optional<std::string>& value) const;

    bool WriteInt(std::string_view section, std::string_view key, long value) const;

    // Removes a whole section with its keys.
    bool DeleteSection(std::string_view section) const;

private:
    std::string path_;
};

}  // namespace platform
