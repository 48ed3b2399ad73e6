#include "cli/session.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "cli/exit_codes.h"
#include "platform/file_ops.h"

namespace corvalin::cli {
namespace {

// Message-box texts use line breaks; one stderr line reads better with blanks.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return text;
}

// Why a project could not be created, when the file system can tell.
std::string CreationDetail(const std::string& project_path) {
    const std::string data_dir = DataDirectoryFor(project_path);
    if (data_dir.empty()) return "the project file name needs an extension, e.g. .cvn";
    if (platform::DirectoryExists(data_dir) ||
        platform::FileExists(data_dir.substr(0, data_dir.size() - 1))) {
        return data_dir + " already exists";
    }
    const std::string parent = std::filesystem::path(project_path).parent_path().string();
    if (!platform::DirectoryExists(parent)) return "the directory " + parent + " does not exist";
    return std::string();
}

}  // namespace

Session::Session(std::string command) : command_(std::move(command)) {}

Session::~Session() {
    if (open_) engine_->Close();
    engine_.Reset();
}

bool Session::StartEngine() {
    if (engine_) return true;
    if (!loader_.Load()) {
        Error(loader_.error());
        return false;
    }
    fw::HRESULT hr = loader_.CreateInstance(engine_.Receive());
    if (fw::Failed(hr)) {
        EngineFailure(hr, "cannot create the engine object");
        return false;
    }
    engine_->ExclusiveMode(1);
    engine_->PageOrder(1);
    return true;
}

int Session::OpenProject(const std::string& project_path) {
    if (!StartEngine()) return kExitFailure;
    OpenFailure failure;
    if (!corvalin::OpenProject(loader_, engine_.get(), project_path, &project_, &failure)) {
        std::string text = OneLine(failure.message);
        if (!failure.detail.empty()) text += " (" + failure.detail + ")";
        Error(text);
        if (fw::Failed(failure.result)) {
            LogEngineError(failure.result, failure.detail, std::source_location::current());
        }
        return kExitProject;
    }
    project_file_.emplace(project_.project_path);
    open_ = true;
    return kExitOk;
}

bool Session::CreateProject(const std::string& project_path) const {
    std::string message;
    if (corvalin::CreateProject(project_path, &message)) return true;
    const std::string detail = CreationDetail(project_path);
    Error(message + (detail.empty() ? "" : " (" + detail + ")"));
    return false;
}

void Session::Error(std::string_view text) const {
    std::fprintf(stderr, "fetchwell %s: %.*s\n", command_.c_str(), static_cast<int>(text.size()),
                 text.data());
}

void Session::ClearEngineError() const {
    std::string ignored;
    loader_.TakeError(&ignored);
}

void Session::LogEngineError(fw::HRESULT hr, std::string_view description,
                             std::source_location where) const {
    std::string_view file = where.file_name();
    file.remove_prefix(file.find_last_of('/') + 1);  // npos + 1 == 0
    error_log_.LogEngineError(hr, description, file, static_cast<int>(where.line()));
}

int Session::EngineFailure(fw::HRESULT hr, std::string_view what,
                           std::source_location where) const {
    std::string description;
    loader_.TakeError(&description);
    Error(std::string(what) + ": " + EngineErrorText(hr, description));
    LogEngineError(hr, description, where);
    return kExitFailure;
}

void Session::LogEngineFailure(fw::HRESULT hr, std::source_location where) const {
    std::string description;
    loader_.TakeError(&description);
    LogEngineError(hr, description, where);
}

std::optional<int32_t> Session::ResolveUrl(const std::string& text) const {
    if (auto id = ParseInteger(text, 1, INT32_MAX)) {
        fw::ComPtr<fw::IDizozizUrl> url;
        if (fw::Succeeded(engine_->EditUrl(static_cast<int32_t>(*id), url.Receive()))) {
            return static_cast<int32_t>(*id);
        }
        ClearEngineError();
        Error("the project holds no URL with id " + text);
        return std::nullopt;
    }
    std::vector<std::string> forms = {text};
    if (auto stored = CheckStartUrl(text, nullptr); stored && *stored != text) {
        forms.push_back(*stored);
    }
    for (const auto& form : forms) {
        if (auto id = FindUrl(form)) return id;
    }
    Error("the project holds no URL " + text);
    return std::nullopt;
}

std::optional<int32_t> Session::FindUrl(const std::string& text) const {
    fw::ComPtr<fw::IDizozizUrl> url;
    int32_t id = 0;
    if (fw::Succeeded(engine_->GetUrl(text, url.Receive())) && fw::Succeeded(url->get_id(&id)) &&
        id > 0) {
        return id;
    }
    ClearEngineError();
    return std::nullopt;
}

std::optional<std::vector<int32_t>> Session::StartUrls() const {
    fw::ComPtr<fw::IDizozizEnumUrl> roots;
    fw::HRESULT hr = engine_->NewEnumChildren(0, 1, roots.Receive());
    std::vector<int32_t> ids;
    if (fw::Succeeded(hr)) hr = IdsOf(roots.get(), &ids);
    if (fw::Failed(hr)) {
        EngineFailure(hr, "cannot read the start URLs");
        return std::nullopt;
    }
    return ids;
}

fw::HRESULT IdsOf(fw::IDizozizEnumUrl* urls, std::vector<int32_t>* ids) {
    int32_t count = 0;
    fw::HRESULT hr = urls->get_Count(&count);
    for (int32_t i = 1; fw::Succeeded(hr) && i <= count; ++i) {
        fw::ComPtr<fw::IDizozizUrl> url;
        int32_t id = 0;
        if (fw::Failed(urls->get_Item(i, url.Receive()))) continue;  // deleted meanwhile
        hr = url->get_id(&id);
        if (fw::Succeeded(hr)) ids->push_back(id);
    }
    return hr;
}

std::string ProjectFileArgument(std::string_view text) {
    std::string path(text);
    if (!path.empty() && path.back() != '/' && DataDirectoryFor(path).empty()) path += ".cvn";
    return AbsolutePath(path);
}

std::optional<long> ParseInteger(std::string_view text, long min, long max) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace corvalin::cli
