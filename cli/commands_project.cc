// The subcommands that read or change a project without grabbing.
#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "app/core/content_export.h"
#include "app/core/program_files.h"
#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "app/core/url_import.h"
#include "app/core/url_path.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/option_values.h"
#include "cli/session.h"
#include "platform/file_ops.h"

namespace corvalin::cli {
namespace {

// The state column of list: new, fetched, grabbed, or the error code.
std::string StateWord(const UrlFacts& facts) {
    if (facts.error != 0) return "error " + std::to_string(facts.error);
    switch (facts.status) {
        case fw::kStatusGrabbed:
            return "grabbed";
        case fw::kStatusFetched:
            return "fetched";
        default:
            return "new";
    }
}

// Tabs and line ends would break a tab-separated line.
std::string Cell(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

// Opens the project the first operand names; 0 or the exit code of the failure.
int OpenOperandProject(CommandContext& context, Session* session) {
    return session->OpenProject(ProjectFileArgument(context.args.operands[0]));
}

// Prints the addresses (or local files) of a search's hits.
int PrintHits(Session& session, fw::IDizozizEnumUrl* found, bool files) {
    std::vector<int32_t> ids;
    if (fw::HRESULT hr = IdsOf(found, &ids); fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot read the results");
    }
    for (int32_t id : ids) {
        fw::ComPtr<fw::IDizozizUrl> url;
        UrlFacts facts;
        if (fw::Failed(session.engine()->ReadUrl(id, url.Receive())) ||
            fw::Failed(ReadUrlFacts(url.get(), &facts))) {
            continue;
        }
        const std::string text =
            files ? UrlPath(UrlPathKind::kLocalFile, facts, session.project().content_dir)
                  : facts.url;
        if (!text.empty()) std::printf("%s\n", text.c_str());
    }
    return kExitOk;
}

}  // namespace

int RunCreate(CommandContext& context) {
    Session session(context.spec.name);
    const std::string project = ProjectFileArgument(context.args.operands[0]);
    if (platform::FileExists(project) || platform::DirectoryExists(project)) {
        session.Error("File already exists! (" + project + ")");
        return kExitProject;
    }
    if (!session.CreateProject(project)) return kExitProject;
    // Opening once makes the engine create the tables, so the new project is
    // complete on disk and its first use finds nothing to set up.
    return session.OpenProject(project);
}

int RunAdd(CommandContext& context) {
    const auto& operands = context.args.operands;
    std::string why, error;
    StartUrlOptions options;
    auto url = CheckStartUrl(operands[1], &why, &options.url_user, &options.url_password);
    if (!url) return UsageError(context.spec, "'" + operands[1] + "' cannot be grabbed: " + why);
    options.url = *url;
    if (!ReadStartUrlOptions(context.args, &options, &error)) {
        return UsageError(context.spec, error);
    }
    Session session(context.spec.name);
    if (int code = OpenOperandProject(context, &session)) return code;
    auto roots = session.StartUrls();
    if (!roots) return kExitFailure;
    if (auto existing = session.FindUrl(*url);
        existing && std::find(roots->begin(), roots->end(), *existing) != roots->end()) {
        session.Error(*url + " is already start URL " + std::to_string(*existing));
        return kExitFailure;
    }
    int32_t id = 0;
    if (fw::HRESULT hr = AddStartUrl(session.engine(), options, &id); fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot add " + *url);
    }
    std::printf("%d\n", id);
    return kExitOk;
}

int RunList(CommandContext& context) {
    long depth_limit = -1;
    if (auto depth = context.args.Value("depth")) {
        auto n = ParseInteger(*depth, 0, INT32_MAX);
        if (!n)
            return UsageError(context.spec, "--depth needs a whole number, not '" + *depth + "'");
        depth_limit = *n;
    }
    const bool tsv = context.args.Has("tsv");
    Session session(context.spec.name);
    if (int code = OpenOperandProject(context, &session)) return code;
    std::vector<int32_t> roots;
    if (context.args.operands.size() > 1) {
        auto id = session.ResolveUrl(context.args.operands[1]);
        if (!id) return kExitFailure;
        roots.push_back(*id);
    } else {
        auto start_urls = session.StartUrls();
        if (!start_urls) return kExitFailure;
        roots = std::move(*start_urls);
    }

    // Depth first with an explicit stack: a site may be thousands of levels deep.
    std::vector<std::pair<int32_t, int>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, 0);
    std::unordered_set<int32_t> shown;
    while (!stack.empty()) {
        auto [id, depth] = stack.back();
        stack.pop_back();
        if (!shown.insert(id).second) continue;
        fw::ComPtr<fw::IDizozizUrl> url;
        UrlFacts facts;
        std::string title;
        fw::HRESULT hr = session.engine()->ReadUrl(id, url.Receive());
        if (fw::Succeeded(hr)) hr = ReadUrlFacts(url.get(), &facts);
        if (fw::Succeeded(hr)) hr = url->get_Title(&title);
        if (fw::Failed(hr))
            return session.EngineFailure(hr, "cannot read URL " + std::to_string(id));
        if (tsv) {
            std::printf("%d\t%d\t%d\t%d\t%s\t%s\t%s\n", id, depth, facts.status, facts.error,
                        Cell(facts.url).c_str(), Cell(facts.file).c_str(), Cell(title).c_str());
        } else {
            std::string line(static_cast<size_t>(depth) * 2, ' ');
            line += std::to_string(id) + "  " + StateWord(facts);
            line.resize(std::max(line.size() + 2, static_cast<size_t>(depth) * 2 + 20), ' ');
            line += facts.url;
            if (!facts.file.empty()) line += "  " + facts.file;
            std::printf("%s\n", line.c_str());
        }
        if (depth_limit >= 0 && depth >= depth_limit) continue;
        fw::ComPtr<fw::IDizozizEnumChild> children;
        hr = session.engine()->EnumChildren(id, children.Receive());
        int32_t count = 0;
        if (fw::Succeeded(hr)) hr = children->get_Count(&count);
        if (fw::Failed(hr))
            return session.EngineFailure(hr, "cannot read the URLs below " + facts.url);
        for (int32_t i = count; i >= 1; --i) {
            fw::ComPtr<fw::IDizozizUrl> child;
            int32_t child_id = 0;
            if (fw::Succeeded(children->get_Item(i, child.Receive())) &&
                fw::Succeeded(child->get_id(&child_id)) && !shown.count(child_id)) {
                stack.emplace_back(child_id, depth + 1);
            }
        }
    }
    return kExitOk;
}

int RunDelete(CommandContext& context) {
    Session session(context.spec.name);
    if (int code = OpenOperandProject(context, &session)) return code;
    auto id = session.ResolveUrl(context.args.operands[1]);
    if (!id) return kExitFailure;
    auto roots = session.StartUrls();
    if (!roots) return kExitFailure;
    if (std::find(roots->begin(), roots->end(), *id) == roots->end()) {
        session.Error("URL " + std::to_string(*id) +
                      " is not a start URL; only start URLs can be deleted");
        return kExitFailure;
    }
    if (fw::HRESULT hr = session.engine()->DeleteUrl(*id); fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot delete URL " + std::to_string(*id));
    }
    if (context.args.Has("clean")) {
        if (fw::HRESULT hr = session.engine()->Clean(); fw::Failed(hr)) {
            return session.EngineFailure(hr, "cannot remove the unreachable URLs");
        }
    }
    return kExitOk;
}

int RunImport(CommandContext& context) {
    const std::string& file = context.args.operands[1];
    Session session(context.spec.name);
    const std::string missing = std::string(kImportMissingFile) + " (" + file + ")";
    // Checked before the project is opened, so a bad name changes nothing.
    if (!IsImportableFile(file)) {
        session.Error(missing);
        return kExitFailure;
    }
    if (int code = OpenOperandProject(context, &session)) return code;
    auto before = session.StartUrls();
    if (!before) return kExitFailure;
    fw::HRESULT hr = fw::S_OK;
    switch (ImportUrls(session.engine(), file, &hr)) {
        case ImportResult::kMissingFile:
            session.Error(missing);
            return kExitFailure;
        case ImportResult::kEngineFailed:
            return session.EngineFailure(hr, "cannot import " + file);
        case ImportResult::kImported:
            break;
    }
    auto after = session.StartUrls();
    if (!after) return kExitFailure;
    const std::unordered_set<int32_t> old(before->begin(), before->end());
    for (int32_t id : *after) {
        if (old.count(id)) continue;
        fw::ComPtr<fw::IDizozizUrl> url;
        std::string text;
        if (fw::Succeeded(session.engine()->ReadUrl(id, url.Receive())) &&
            fw::Succeeded(url->get_url(&text))) {
            std::printf("%d %s\n", id, text.c_str());
        }
    }
    return kExitOk;
}

int RunExport(CommandContext& context) {
    const auto& operands = context.args.operands;
    const bool page = context.args.Has("page");
    if (page && operands.size() < 3) return UsageError(context.spec, "--page needs a URL");
    Session session(context.spec.name);
    if (int code = OpenOperandProject(context, &session)) return code;
    std::vector<int32_t> entries;
    int32_t id = 0;
    if (operands.size() > 2) {
        auto resolved = session.ResolveUrl(operands[2]);
        if (!resolved) return kExitFailure;
        id = *resolved;
        entries.push_back(id);
    } else {
        auto roots = session.StartUrls();
        if (!roots) return kExitFailure;
        entries = std::move(*roots);
    }
    // The start points of the copy: what has been grabbed.
    std::vector<std::string> files;
    for (int32_t entry : entries) {
        fw::ComPtr<fw::IDizozizUrl> url;
        UrlFacts facts;
        if (fw::Succeeded(session.engine()->ReadUrl(entry, url.Receive())) &&
            fw::Succeeded(ReadUrlFacts(url.get(), &facts)) &&
            IsGrabbed(facts.status, facts.error) && !facts.file.empty()) {
            files.push_back(facts.file);
        } else if (id != 0) {
            session.Error(operands[2] + " has not been grabbed; there is nothing to export");
            return kExitFailure;
        }
    }
    std::string target = AbsolutePath(operands[1]);
    if (target.back() != '/') target += '/';
    if (!platform::CreateDirectories(target)) {
        session.Error("cannot create the directory " + target);
        return kExitFailure;
    }
    const std::string program_dir = ProgramDirectory();
    if (fw::HRESULT hr =
            ExportContent(session.engine(), session.project_file(), session.project().content_dir,
                          program_dir, target, id, page);
        fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot export to " + target);
    }
    for (const auto& file : files) {
        if (platform::FileExists(target + file))
            std::printf("%s%s\n", target.c_str(), file.c_str());
    }
    if (context.args.Has("autorun")) {
        std::string start;
        if (!WriteDiscAutorun(program_dir, target, &start)) {
            session.Warning("no .htm file in " + target + " to start from; no autorun.inf written");
        }
    }
    return kExitOk;
}

int RunSearch(CommandContext& context) {
    Session session(context.spec.name);
    if (int code = OpenOperandProject(context, &session)) return code;
    fw::ComPtr<fw::IDizozizEnumUrl> found;
    if (fw::HRESULT hr = session.engine()->Search(context.args.operands[1], found.Receive());
        fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot search");
    }
    return PrintHits(session, found.get(), context.args.Has("files"));
}

int RunIndexSearch(CommandContext& context) {
    const std::string& expression = context.args.operands[1];
    Session session(context.spec.name);
    if (int code = OpenOperandProject(context, &session)) return code;
    fw::ComPtr<fw::IDizozizEnumUrl> found;
    fw::HRESULT hr = session.engine()->IndexSearch(expression, found.Receive());
    if (fw::Failed(hr)) {
        // Only a failed search runs the query again, to tell a bad expression
        // (a usage error) from an index that cannot be read.
        std::string message;
        hr = session.engine()->ValidIndexSearch(expression, &message);
        if (fw::Succeeded(hr) && !message.empty()) {
            session.Error(message);
            return kExitUsage;
        }
        return session.EngineFailure(fw::Failed(hr) ? hr : fw::E_FAIL, "cannot search the index");
    }
    return PrintHits(session, found.get(), context.args.Has("files"));
}

int RunPack(CommandContext& context) {
    Session session(context.spec.name);
    if (int code = OpenOperandProject(context, &session)) return code;
    if (fw::HRESULT hr = session.engine()->Pack(); fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot pack the project");
    }
    return kExitOk;
}

}  // namespace corvalin::cli
