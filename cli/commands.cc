#include "cli/commands.h"

#include <cstdio>
#include <initializer_list>

#include "cli/exit_codes.h"

namespace corvalin::cli {
namespace {

const OptionSpec kHelp = {"help", 'h', nullptr, "show this help"};

const std::vector<OptionSpec> kStartUrlOptions = {
    {"levels", 'l', "N|all", "levels of links to follow below the start page (default 2)"},
    {"stay-on-site", 0, nullptr, "follow links on the start URL's site only (the default)"},
    {"no-stay-on-site", 0, nullptr, "follow links to other sites too"},
    {"stay-in-dir", 0, nullptr, "follow links in the start URL's directory and below only"},
    {"exclude", 'x', "LIST",
     "media classes not to download: application, audio, video, image, or none "
     "(default audio,video)"},
    {"only", 0, "LIST", "download only files of these types, e.g. zip,pdf"},
    {"user", 'u', "NAME", "user name for the site"},
    {"password", 0, "TEXT", "password for the site (visible to other users: see --password-file)"},
    {"password-file", 0, "FILE", "read the password from the first line of FILE"},
    {"notes", 0, "TEXT", "notes kept with the start URL"},
};

const std::vector<OptionSpec> kGrabOptions = {
    {"threads", 't', "N", "URLs fetched at once, for this grab (engine preference MaxThreads)"},
    {"per-server", 0, "N",
     "URLs fetched at once from one server, for this grab (MaxThreadsPerServer)"},
    {"no-check-certificate", 0, nullptr,
     "fetch from HTTPS sites whose certificate fails verification, for this grab, with a "
     "warning per site (AllowUntrustedCertificates)"},
    {"quiet", 'q', nullptr, "show no progress and no summary"},
};

// What a new link-check URL takes of the start URL options.
std::vector<OptionSpec> LinkCheckUrlOptions() {
    std::vector<OptionSpec> options;
    for (const auto& option : kStartUrlOptions) {
        for (const char* name : {"levels", "user", "password", "password-file"}) {
            if (std::string_view(option.name) == name) options.push_back(option);
        }
    }
    return options;
}

std::vector<OptionSpec> Join(std::initializer_list<std::vector<OptionSpec>> parts) {
    std::vector<OptionSpec> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const OptionSpec kRefresh = {"refresh", 'r', nullptr,
                             "fetch only what changed since the last grab"};
const OptionSpec kRestart = {"restart", 0, nullptr,
                             "start over instead of going on with a stopped grab"};

const std::vector<CommandSpec> kCommands = {
    {"mirror", "URL [PROJECT]", "create a project when missing, add URL and grab it",
     "Copies the site at URL for offline browsing. PROJECT (default: the host name with\n"
     "\".cvn\", in the current directory) is created when it does not exist; URL becomes\n"
     "one of its start URLs unless it already is one (then its stored settings are\n"
     "kept). At the end the path of the offline copy's start page is printed.\n",
     Join({kStartUrlOptions, {kRefresh, kRestart}, kGrabOptions, {kHelp}}), 1, 2, RunMirror},
    {"create",
     "PROJECT",
     "create an empty project",
     "Creates the project file PROJECT, its data directory beside it (the file's name\n"
     "without its extension) and the content directory \"src\" inside that.\n",
     {kHelp},
     1,
     1,
     RunCreate},
    {"add", "PROJECT URL", "add a start URL",
     "Adds URL as a start URL of PROJECT and prints its id.\n", Join({kStartUrlOptions, {kHelp}}),
     2, 2, RunAdd},
    {"list",
     "PROJECT [URL]",
     "show the start URLs and the pages below them",
     "Shows the tree of start URLs and the pages and files below them (or below URL),\n"
     "one per line: id, state (new, fetched, grabbed; an error code when there was\n"
     "one), address and local file.\n",
     {{"depth", 'd', "N", "show N levels below the start URLs (default: all)"},
      {"tsv", 0, nullptr, "tab-separated columns: id, depth, status, error, url, file, title"},
      kHelp},
     1,
     2,
     RunList},
    {"grab", "PROJECT [URL]", "grab every start URL, or one URL",
     "Fetches the start URLs of PROJECT (or URL alone) with everything below them, as\n"
     "deep as their levels say, and rewrites the links of the copies to local paths.\n"
     "Ctrl-C stops the grab cleanly (the pages fetched so far are finished); a second\n"
     "Ctrl-C aborts at once. A grab that was stopped or killed goes on where it\n"
     "stopped the next time, without fetching again what it had finished;\n"
     "--restart starts over.\n",
     Join({{kRefresh, kRestart}, kGrabOptions, {kHelp}}), 1, 2, RunGrab},
    {"refresh", "PROJECT [URL]", "fetch again only what changed",
     "Like grab, but asks the servers only for what changed since the last grab.\n",
     Join({{kRestart}, kGrabOptions, {kHelp}}), 1, 2, RunRefresh},
    {"preview", "PROJECT [URL]", "fetch the pages only, without images and other files",
     "Fetches only the HTML pages of the start URLs (or of URL), to see what a grab\n"
     "would take.\n",
     Join({kGrabOptions, {kHelp}}), 1, 2, RunPreview},
    {"check", "PROJECT [URL]", "check links and print the broken ones",
     "Checks links without keeping any file, then prints each broken link (HTTP status\n"
     "400 to 599) with the pages that link to it. A URL the project does not hold yet\n"
     "becomes a link-check URL of PROJECT (it stays on its site and fetches only text)\n"
     "and is checked; a link-check URL given by its address or id is checked again;\n"
     "without URL every link-check URL is checked again and the broken links of the\n"
     "whole project are printed. A start URL grabbed as a site is not checked (that\n"
     "would stop its grabs): the broken links its grabs found are printed instead.\n"
     "Broken links are a result, not a failure: the exit status is 0.\n",
     Join({LinkCheckUrlOptions(), kGrabOptions, {kHelp}}), 1, 2, RunCheck},
    {"delete",
     "PROJECT URL",
     "delete a start URL",
     "Deletes the start URL URL and its local copy from PROJECT.\n",
     {{"clean", 0, nullptr,
       "also remove the pages no start URL reaches any more, with their files"},
      kHelp},
     2,
     2,
     RunDelete},
    {"import",
     "PROJECT FILE",
     "add the addresses in a text or bookmark file",
     "Adds every address found in FILE as a start URL of PROJECT: in a text file each\n"
     "http://, https:// or ftp:// address, in an HTML file (a saved bookmark list)\n"
     "every absolute link. Imported start URLs have 1 level and no filters.\n",
     {kHelp},
     2,
     2,
     RunImport},
    {"export",
     "PROJECT DIR [URL]",
     "copy grabbed files to a folder",
     "Copies the grabbed files of every start URL (or of URL and what lies below it)\n"
     "to DIR, keeping their paths relative to the content directory, so the copy\n"
     "browses by itself. A whole project takes its contents page, contents.htm, along;\n"
     "one URL gets index.htm, which leads to its page. The project's edge files are\n"
     "copied too when it uses them.\n",
     {{"page", 'p', nullptr, "copy only the page URL and the files it shows (needs URL)"},
      {"autorun", 0, nullptr,
       "prepare DIR for a disc that opens itself: autorun.inf and the launcher autorun.sh"},
      kHelp},
     2,
     3,
     RunExport},
    {"search",
     "PROJECT PATTERN",
     "list the pages whose text matches PATTERN",
     "Searches the grabbed pages and text files for PATTERN and prints the address of\n"
     "each page that matches.\n",
     {{"files", 'f', nullptr, "print the local files instead of the addresses"}, kHelp},
     2,
     2,
     RunSearch},
    {"index-search",
     "PROJECT EXPRESSION",
     "query the full-text index",
     "Runs EXPRESSION against the full-text index of the grabbed pages (built on first\n"
     "use after each grab) and prints the address of each page found. Words combine\n"
     "with AND and OR; \"quotes\" make phrases; * is a wildcard. An expression the index\n"
     "cannot read is reported with exit status 2.\n",
     {{"files", 'f', nullptr, "print the local files instead of the addresses"}, kHelp},
     2,
     2,
     RunIndexSearch},
    {"pack",
     "PROJECT",
     "remove unreachable URLs and compact the tables",
     "Removes the URLs that no start URL reaches any more (with their files) and\n"
     "compacts the project's tables.\n",
     {kHelp},
     1,
     1,
     RunPack},
    {"rules",
     "PROJECT [list | add TYPE SEARCH REPLACE | delete N]",
     "list, add or delete the page replacement rules",
     "Every grab rewrites the pages it finishes with the project's replacement rules,\n"
     "in their order. Without an action the rules are listed, one per line: number,\n"
     "type, search text and replacement, separated by tabs. 'add' adds a rule at the\n"
     "end (or as rule --at N) and prints its number; 'delete N' deletes rule N.\n\n"
     "TYPE is l (line by line, letter case ignored), L (line by line, case\n"
     "significant), f (the whole file, case ignored) or F (the whole file, case\n"
     "significant); t and T are text rules, kept for the desktop program and never\n"
     "applied to pages. In SEARCH, * matches any run of characters, each ? up to one\n"
     "character, [abc] one of the characters listed, ^ at the start anchors the match\n"
     "to the start (of the line or file), $ at the end to the end, and \\ makes the\n"
     "next character itself.\n",
     {{"at", 0, "N", "with add: make the new rule number N"}, kHelp},
     1,
     5,
     RunRules},
    {"prefs",
     "[NAME[=VALUE]...]",
     "show or set the engine preferences",
     "Without arguments shows every engine preference as NAME=VALUE (passwords hidden).\n"
     "NAME shows one preference; NAME=VALUE sets it. Names are those shown, in any\n"
     "letter case. The preferences are shared with the desktop program.\n",
     {kHelp},
     0,
     64,
     RunPrefs},
};

}  // namespace

std::span<const CommandSpec> Commands() {
    return kCommands;
}

const CommandSpec* FindCommand(std::string_view name) {
    for (const auto& spec : kCommands) {
        if (name == spec.name) return &spec;
    }
    return nullptr;
}

int UsageError(const CommandSpec& spec, std::string_view text) {
    std::fprintf(stderr, "fetchwell %s: %.*s\nTry 'fetchwell %s --help'.\n", spec.name,
                 static_cast<int>(text.size()), text.data(), spec.name);
    return kExitUsage;
}

std::string CommandHelp(const CommandSpec& spec) {
    std::string text = std::string("usage: fetchwell ") + spec.name + " " + spec.operands +
                       " [options]\n\n" + spec.description + "\nOptions:\n" +
                       FormatOptions(spec.options);
    return text;
}

std::string ProgramHelp() {
    std::string text =
        "usage: fetchwell COMMAND [ARGUMENTS] [OPTIONS]\n"
        "       fetchwell --version\n\n"
        "Copies web sites to disk for offline browsing, keeps them up to date and\n"
        "searches them.\n\nCommands:\n";
    for (const auto& spec : kCommands) {
        std::string head = std::string("  ") + spec.name + " " + spec.operands;
        head.resize(std::max<size_t>(head.size() + 2, 36), ' ');
        text += head + spec.summary + "\n";
    }
    text +=
        "\nPROJECT is a project file such as news.cvn; a name without an extension gets\n"
        "\".cvn\". A URL of an existing project may also be given by the id that 'list'\n"
        "shows. 'fetchwell COMMAND --help' shows a command's options.\n\n"
        "Exit status: 0 when the work ran, 1 when an operation failed, 2 for a usage\n"
        "error, 3 when the project cannot be opened or created, 4 when a grab cannot\n"
        "start, 130 after Ctrl-C.\n";
    return text;
}

}  // namespace corvalin::cli
