// One run of a subcommand: the engine, the open project and the way errors
// reach the user (one line on stderr) and the error log (engine failures).
#pragma once

#include <cstdint>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/engine_loader.h"
#include "app/core/error_log.h"
#include "app/core/project_file.h"
#include "app/core/project_open.h"
#include "engine/interface/fetchwell.h"

namespace corvalin::cli {

class Session {
public:
    // `command` names the subcommand in messages ("fetchwell add: ...").
    explicit Session(std::string command);
    // Closes the project and releases the engine (objects first).
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the engine library and creates the engine object in exclusive
    // mode with page order, as the desktop program does. On failure prints
    // why and returns false.
    bool StartEngine();

    // Creates a project (app/core CreateProject); on failure prints the
    // message with what the file system tells of the cause.
    bool CreateProject(const std::string& project_path) const;

    // StartEngine when needed, then opens the project file's project.
    // Returns kExitOk, or after printing one message kExitProject (the
    // project cannot be opened) or kExitFailure (no engine to open it with).
    int OpenProject(const std::string& project_path);

    fw::IDizoziz* engine() const { return engine_.get(); }
    const OpenedProject& project() const { return project_; }
    const ProjectFile& project_file() const { return *project_file_; }

    // "fetchwell CMD: text" on stderr.
    void Error(std::string_view text) const;
    void Warning(std::string_view text) const { Error("warning: " + std::string(text)); }

    // Reports a failed engine call: the engine's message (or the code's
    // text) on stderr after `what`, and a record in the error log. Returns
    // kExitFailure.
    int EngineFailure(fw::HRESULT hr, std::string_view what,
                      std::source_location where = std::source_location::current()) const;

    // Writes a failed engine call to the error log only, for failures the
    // command goes on after (the user sees their effect otherwise).
    void LogEngineFailure(fw::HRESULT hr,
                          std::source_location where = std::source_location::current()) const;

    // The id of a URL argument: a decimal id, or the URL's text (also tried
    // in the form a start URL is stored in, "http://host" -> "http://host/").
    // Prints why and returns nullopt when the project holds no such URL.
    std::optional<int32_t> ResolveUrl(const std::string& text) const;

    // The id of the URL with exactly this text; nullopt, quietly, when the
    // project holds none.
    std::optional<int32_t> FindUrl(const std::string& text) const;

    // The ids of the start URLs, in the engine's order; nullopt after an
    // engine failure (reported).
    std::optional<std::vector<int32_t>> StartUrls() const;

private:
    // Drops the message of an engine failure that is handled here.
    void ClearEngineError() const;
    void LogEngineError(fw::HRESULT hr, std::string_view description,
                        std::source_location where) const;

    std::string command_;
    EngineLoader loader_;
    ErrorLog error_log_;
    fw::ComPtr<fw::IDizoziz> engine_;
    OpenedProject project_;
    std::optional<ProjectFile> project_file_;
    bool open_ = false;
};

// The project file a PROJECT argument names: a name without an extension
// gains ".cvn" ("news" -> "news.cvn"); the result is absolute.
std::string ProjectFileArgument(std::string_view text);

// The ids of a URL collection, in its order; a URL deleted meanwhile is left
// out.
fw::HRESULT IdsOf(fw::IDizozizEnumUrl* urls, std::vector<int32_t>* ids);

// Strict decimal integer within [min, max]; nullopt otherwise.
std::optional<long> ParseInteger(std::string_view text, long min, long max);

}  // namespace corvalin::cli
