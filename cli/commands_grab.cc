// The subcommands that run a grab: mirror, grab, refresh, preview, check.
#include <algorithm>
#include <cstdio>

#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "app/core/url_path.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/grab_run.h"
#include "cli/option_values.h"
#include "cli/session.h"
#include "platform/file_ops.h"

namespace corvalin::cli {
namespace {

// Redirects followed from a start URL to the page that was stored for it.
constexpr int kMaxRedirectHops = 5;

// Reads --threads, --per-server, --no-check-certificate, --quiet and
// --restart. False after a usage error (printed; *exit_code set).
bool ReadGrabOptions(CommandContext& context, GrabRequest* request, int* exit_code) {
    std::string error;
    const std::pair<const char*, std::optional<int32_t>*> limits[] = {
        {"threads", &request->threads},
        {"per-server", &request->per_server},
    };
    for (const auto& [option, limit] : limits) {
        auto text = context.args.Value(option);
        if (!text) continue;
        *limit = ParseThreadCount(option, *text, &error);
        if (!*limit) {
            *exit_code = UsageError(context.spec, error);
            return false;
        }
    }
    request->allow_untrusted = context.args.Has("no-check-certificate");
    request->quiet = context.args.Has("quiet");
    request->restart = context.args.Has("restart");
    return true;
}

// The project file a mirror of `url` uses when none is named: the host
// (and port) as a file name in the working directory.
std::string DefaultProjectFor(const std::string& url) {
    size_t start = url.find("://") + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string host = url.substr(start, end - start);
    if (size_t at = host.rfind('@'); at != std::string::npos) host.erase(0, at + 1);
    for (char& c : host) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!plain) c = '_';
    }
    return AbsolutePath(host + ".cvn");
}

// The UrlKind of a URL; 0 when it cannot be read.
int32_t KindOf(Session& session, int32_t id) {
    fw::ComPtr<fw::IDizozizUrl> url;
    int32_t kind = 0;
    if (fw::Succeeded(session.engine()->ReadUrl(id, url.Receive()))) url->get_Html(&kind);
    return kind;
}

// Where the offline copy of a start URL begins: its stored page, or the page
// its redirects led to. Empty when none was stored; *error_code then tells
// the last outcome.
std::string OfflineStart(Session& session, int32_t id, int32_t* error_code) {
    for (int hop = 0; hop <= kMaxRedirectHops; ++hop) {
        fw::ComPtr<fw::IDizozizUrl> url;
        UrlFacts facts;
        if (fw::Failed(session.engine()->ReadUrl(id, url.Receive())) ||
            fw::Failed(ReadUrlFacts(url.get(), &facts))) {
            return std::string();
        }
        *error_code = facts.error;
        if (Classify(facts.status, facts.error) != Outcome::kRedirected) {
            return facts.error < 400
                       ? UrlPath(UrlPathKind::kLocalFile, facts, session.project().content_dir)
                       : std::string();
        }
        // The redirect target is the first URL the redirecting one links to.
        fw::ComPtr<fw::IDizozizEnumUrl> targets;
        fw::ComPtr<fw::IDizozizUrl> target;
        int32_t count = 0;
        if (fw::Failed(session.engine()->NewEnumChildren(id, 0, targets.Receive())) ||
            fw::Failed(targets->get_Count(&count)) || count < 1 ||
            fw::Failed(targets->get_Item(1, target.Receive())) || fw::Failed(target->get_id(&id))) {
            return std::string();
        }
    }
    return std::string();
}

// Prints where each grabbed start URL's offline copy begins (stdout) and
// names the ones that left none (stderr).
void PrintOfflineStarts(Session& session, const std::vector<int32_t>& ids) {
    for (int32_t id : ids) {
        if (KindOf(session, id) == fw::kKindLinkCheck) continue;  // nothing is kept for these
        int32_t error = 0;
        const std::string path = OfflineStart(session, id, &error);
        if (!path.empty()) {
            std::printf("%s\n", path.c_str());
            continue;
        }
        fw::ComPtr<fw::IDizozizUrl> url;
        std::string text;
        if (fw::Succeeded(session.engine()->ReadUrl(id, url.Receive()))) url->get_url(&text);
        std::string why = error ? std::to_string(error) + " " + ErrorReason(error) : "not fetched";
        session.Warning("no offline copy of " + text + " (" + why + ")");
    }
}

// Prints the bad links below `id` (every one in the project for 0), each
// with the pages that link to it. Returns how many, or -1 after a failure
// (reported).
int64_t PrintBadLinks(Session& session, int32_t id) {
    fw::ComPtr<fw::IDizozizEnumUrl> bad;
    int32_t count = 0;
    fw::HRESULT hr = session.engine()->EnumBadLinks(id, bad.Receive());
    if (fw::Succeeded(hr)) hr = bad->get_Count(&count);
    if (fw::Failed(hr)) {
        session.EngineFailure(hr, "cannot read the bad links");
        return -1;
    }
    for (int32_t i = 1; i <= count; ++i) {
        fw::ComPtr<fw::IDizozizUrl> url;
        UrlFacts facts;
        int32_t bad_id = 0;
        if (fw::Failed(bad->get_Item(i, url.Receive())) ||
            fw::Failed(ReadUrlFacts(url.get(), &facts)) || fw::Failed(url->get_id(&bad_id))) {
            continue;
        }
        std::printf("%s  %d %s\n", facts.url.c_str(), facts.error,
                    ErrorReason(facts.error).c_str());
        fw::ComPtr<fw::IDizozizEnumUrl> parents;
        int32_t parent_count = 0;
        if (fw::Failed(session.engine()->EnumParents(bad_id, parents.Receive())) ||
            fw::Failed(parents->get_Count(&parent_count))) {
            continue;
        }
        for (int32_t p = 1; p <= parent_count; ++p) {
            fw::ComPtr<fw::IDizozizUrl> parent;
            std::string text;
            if (fw::Succeeded(parents->get_Item(p, parent.Receive())) &&
                fw::Succeeded(parent->get_url(&text))) {
                std::printf("  linked from %s\n", text.c_str());
            }
        }
    }
    return count;
}

// The URL operand of grab, refresh and preview: 0 for every start URL.
std::optional<int32_t> TargetOf(CommandContext& context, Session& session) {
    if (context.args.operands.size() < 2) return 0;
    return session.ResolveUrl(context.args.operands[1]);
}

int RunGrabKind(CommandContext& context, GrabKind kind) {
    GrabRequest request;
    request.kind = kind;
    if (context.args.Has("refresh")) request.kind = GrabKind::kRefresh;
    int exit_code = kExitOk;
    if (!ReadGrabOptions(context, &request, &exit_code)) return exit_code;
    Session session(context.spec.name);
    if (int code = session.OpenProject(ProjectFileArgument(context.args.operands[0]))) return code;
    auto id = TargetOf(context, session);
    if (!id) return kExitFailure;
    request.id = *id;
    exit_code = RunGrab(session, context.interrupts, request);
    if (exit_code == kExitGrab) return exit_code;
    if (request.id != 0) {
        PrintOfflineStarts(session, {request.id});
    } else if (auto roots = session.StartUrls()) {
        PrintOfflineStarts(session, *roots);
    }
    return exit_code;
}

}  // namespace

int RunMirror(CommandContext& context) {
    const auto& operands = context.args.operands;
    std::string why, error;
    StartUrlOptions options;
    auto url = CheckStartUrl(operands[0], &why, &options.url_user, &options.url_password);
    if (!url) return UsageError(context.spec, "'" + operands[0] + "' cannot be grabbed: " + why);
    options.url = *url;
    if (!ReadStartUrlOptions(context.args, &options, &error))
        return UsageError(context.spec, error);
    GrabRequest request;
    request.kind = context.args.Has("refresh") ? GrabKind::kRefresh : GrabKind::kGrab;
    int exit_code = kExitOk;
    if (!ReadGrabOptions(context, &request, &exit_code)) return exit_code;

    Session session(context.spec.name);
    const std::string project =
        operands.size() > 1 ? ProjectFileArgument(operands[1]) : DefaultProjectFor(*url);
    if (!platform::FileExists(project) && !session.CreateProject(project)) return kExitProject;
    if (int code = session.OpenProject(project)) return code;

    auto roots = session.StartUrls();
    if (!roots) return kExitFailure;
    auto existing = session.FindUrl(*url);
    if (existing && std::find(roots->begin(), roots->end(), *existing) != roots->end()) {
        request.id = *existing;
        if (HasStartUrlOptions(context.args)) {
            session.Warning(*url +
                            " is already a start URL of this project; its stored settings "
                            "are kept and the options for it are ignored");
        }
    } else if (fw::HRESULT hr = AddStartUrl(session.engine(), options, &request.id);
               fw::Failed(hr)) {
        return session.EngineFailure(hr, "cannot add " + *url);
    }

    exit_code = RunGrab(session, context.interrupts, request);
    if (exit_code == kExitGrab) return exit_code;
    PrintOfflineStarts(session, {request.id});
    return exit_code;
}

int RunGrab(CommandContext& context) {
    return RunGrabKind(context, GrabKind::kGrab);
}
int RunRefresh(CommandContext& context) {
    return RunGrabKind(context, GrabKind::kRefresh);
}
int RunPreview(CommandContext& context) {
    return RunGrabKind(context, GrabKind::kPreview);
}

int RunCheck(CommandContext& context) {
    GrabRequest request;
    request.kind = GrabKind::kLinkCheck;
    int exit_code = kExitOk;
    if (!ReadGrabOptions(context, &request, &exit_code)) return exit_code;
    StartUrlOptions options;
    options.link_check = true;
    std::string error;
    if (!ReadStartUrlOptions(context.args, &options, &error))
        return UsageError(context.spec, error);

    Session session(context.spec.name);
    if (int code = session.OpenProject(ProjectFileArgument(context.args.operands[0]))) return code;
    auto roots = session.StartUrls();
    if (!roots) return kExitFailure;
    // Which URLs are checked now: a URL the project does not hold becomes a
    // link-check URL; without a URL, every link-check URL is checked again.
    bool run = false;
    if (context.args.operands.size() > 1) {
        const std::string& text = context.args.operands[1];
        std::optional<int32_t> id;
        if (ParseInteger(text, 1, INT32_MAX)) {
            id = session.ResolveUrl(text);
            if (!id) return kExitFailure;
        } else if (auto stored =
                       CheckStartUrl(text, &error, &options.url_user, &options.url_password)) {
            id = session.FindUrl(*stored);
            if (!id) {
                options.url = *stored;
                int32_t added = 0;
                if (fw::HRESULT hr = AddStartUrl(session.engine(), options, &added);
                    fw::Failed(hr)) {
                    return session.EngineFailure(hr, "cannot add " + *stored);
                }
                id = added;
            }
        } else {
            return UsageError(context.spec, "'" + text + "' cannot be checked: " + error);
        }
        request.id = *id;
        run = KindOf(session, *id) == fw::kKindLinkCheck;
        const bool start_url = std::find(roots->begin(), roots->end(), *id) != roots->end();
        if (!run && !start_url) {
            session.Error(text + " is a page below a start URL; give the start URL, or an " +
                          "address the project does not hold");
            return kExitFailure;
        }
        if (!run) {
            // Checking would make it a link-check URL, which a grab no longer
            // fetches: its grabs' findings are reported instead.
            session.Warning(text + " is a start URL grabbed as a site and is not checked again; " +
                            "these are the broken links its grabs found");
        }
    } else {
        run = std::any_of(roots->begin(), roots->end(), [&session](int32_t id) {
            return KindOf(session, id) == fw::kKindLinkCheck;
        });
    }
    if (run) {
        exit_code = RunGrab(session, context.interrupts, request);
        if (exit_code == kExitGrab) return exit_code;
    }
    const int64_t count = PrintBadLinks(session, request.id);
    if (count < 0) return kExitFailure;
    if (!request.quiet) {
        if (count == 0) {
            std::fputs("No broken links.\n", stderr);
        } else {
            std::fprintf(stderr, "%lld broken link%s.\n", static_cast<long long>(count),
                         count == 1 ? "" : "s");
        }
    }
    return exit_code;
}

}  // namespace corvalin::cli
