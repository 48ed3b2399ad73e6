// CProfileFile: the programs' typed access to one private-profile file (the
// program settings file or a project file). It holds only the path; every
// read and write goes straight to the file, so two objects naming one file
// always agree.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/profile_file.h"

namespace corvalin {

class CProfileFile {
public:
    // Values longer than this are cut when read (the classic 1024-byte buffer).
    static constexpr size_t kMaxValueChars = 1023;

    CProfileFile() : file_(std::string()) {}
    explicit CProfileFile(std::string path) : file_(std::move(path)) {}

    const std::string& path() const { return file_.path(); }
    // Points the object at another file.
    void set_path(std::string path) { file_ = platform::ProfileFile(std::move(path)); }

    // The stored text (cut to kMaxValueChars, never inside a UTF-8
    // character), or `fallback` when the key is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback) const;
    long GetInt(std::string_view section, std::string_view key, long fallback) const;
    // Any non-zero integer is true.
    bool GetBool(std::string_view section, std::string_view key, bool fallback) const;

    // Stores `value`; std::nullopt deletes the key. A text holding a line
    // break is refused (nothing written, false): it would end the line and
    // could plant keys of its own in the file. False when the file could not
    // be written either.
    bool PutString(std::string_view section, std::string_view key,
                   const std::optional<std::string>& value) const;
    // Signed decimal text.
    bool PutInt(std::string_view section, std::string_view key, long value) const;
    // "1" or "0".
    bool PutBool(std::string_view section, std::string_view key, bool value) const;

    bool KeyExists(std::string_view section, std::string_view key) const;

private:
    platform::ProfileFile file_;
};

}  // namespace corvalin
