#include "app/core/launch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/run_program.h"
#include "platform/text.h"

namespace corvalin {
namespace {

constexpr std::chrono::milliseconds kStartWait(15000);
constexpr char kShellOpen[] = "xdg-open";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           platform::EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

bool Exists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A path as the program sees it: relative ones from the working directory.
std::string Resolved(const std::string& path, const std::string& working_dir) {
    if (path.empty() || path.front() == '/' || working_dir.empty()) return path;
    return working_dir + (working_dir.back() == '/' ? "" : "/") + path;
}

int Start(const std::vector<std::string>& argv, const std::string& working_dir) {
    const platform::ProgramStart start =
        platform::StartProgram(argv, working_dir, std::chrono::milliseconds(0));
    return start.error == 0 ? kLaunchSucceeded
                            : LaunchResultOf(start.error, argv.empty() ? "" : argv[0]);
}

std::vector<std::string> ParameterWords(std::string_view parameters,
                                        const std::string& working_dir) {
    const std::string whole(TrimBlanks(parameters));
    if (whole.empty()) return {};
    // An unquoted path with blanks ("/home/me/My Sites/x.htm") is one argument.
    if (Exists(Resolved(whole, working_dir))) return {whole};
    return CommandWords(whole);
}

}  // namespace

SplitLine SplitCommandLine(std::string_view text) {
    SplitLine split;
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '"') {
        split.quoted = true;
        const size_t close = text.find('"', 1);
        if (close == std::string_view::npos) {
            split.unbalanced_quotes = true;
            split.program = std::string(text.substr(1));
            return split;
        }
        split.program = std::string(text.substr(1, close - 1));
        split.parameters = std::string(text.substr(close + 1));
        return split;
    }
    size_t best = std::string_view::npos;
    size_t best_length = 0;
    for (std::string_view ext : {".exe", ".bat", ".com", ".sh"}) {
        for (size_t at = platform::FindIgnoreCase(text, ext); at != std::string_view::npos;
             at = platform::FindIgnoreCase(text, ext, at + 1)) {
            const size_t after = at + ext.size();
            if (after < text.size() && IsBlank(text[after])) {
                if (at < best) {
                    best = at;
                    best_length = ext.size();
                }
                break;
            }
        }
    }
    if (best == std::string_view::npos) {
        split.program = std::string(text);
        return split;
    }
    split.program = std::string(text.substr(0, best + best_length));
    split.parameters = std::string(text.substr(best + best_length + 1));
    return split;
}

std::vector<std::string> CommandWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsBlank(c)) {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
            continue;
        }
        in_word = true;
        if (c == '\'') {
            const size_t close = text.find('\'', i + 1);
            const size_t end = close == std::string_view::npos ? text.size() : close;
            word.append(text.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size() &&
                    (text[i + 1] == '"' || text[i + 1] == '\\')) {
                    ++i;
                }
                word += text[i];
            }
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
        } else {
            word += c;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

std::string QuotedWord(std::string_view text) {
    if (!text.empty() && text.find_first_of(" \t'\"\\") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

int LaunchResultOf(int error, std::string_view program) {
    switch (error) {
        case 0:
            return kLaunchSucceeded;
        case ENOENT: {
            // A program named by its path whose directory is missing.
            const std::string dir = DirectoryOf(std::string(program));
            return !dir.empty() && !Exists(dir) ? kLaunchPathNotFound : kLaunchNotFound;
        }
        case ENOTDIR:
            return kLaunchPathNotFound;
        case EACCES:
        case EPERM:
            return kLaunchNoPermission;
        case ENOEXEC:
            return kLaunchNotExecutable;
        case ENOMEM:
            return kLaunchOutOfMemory;
        default:
            return kLaunchFailed;
    }
}

std::string LaunchErrorText(int result, std::string_view command) {
    const std::string text(command);
    switch (result) {
        case 0:
            return "System out of memory or executable is corrupt";
        case 2:
            if (EndsWithIgnoreCase(text, "/") || EndsWithIgnoreCase(text, ".htm") ||
                EndsWithIgnoreCase(text, ".html")) {
                return "Unable to run " + text +
                       "\nCheck your browser setting in \"Options...\", or check your "
                       "associations.";
            }
            return "File not found - " + text;
        case 3:
            return "Path was not found - " + text;
        case 5:
            return "Attempt was made to dynamically link to a task or sharing error";
        case 6:
            return "Library requires separate data segments for each task";
        case 8:
            return "There was insufficient memory to start the task";
        case 10:
            return "Incorrect version of Windows";
        case 11:
            return "Invalid executable, corrupt executable or non-Windows executable";
        case 12:
            return "The program is designed for another operating system";
        case 13:
            return "Application was designed for MS-DOS 4.0";
        case 14:
            return "Type of executable file was unknown";
        case 15:
            return "Attempt was made to load a real-mode application(developed for an earlier "
                   "version of Windows)";
        case 16:
            return "Attempt was made to load a second instance of an executable file containing "
                   "multiple data segments that were not marked read-only. ";
        case 19:
            return "Attempt was made to load a compressed executable file. The file must be "
                   "decompressed before it can be loaded.";
        case 20:
            return "Dynamic-link library (DLL) file was invalid. One of the DLLs required to run "
                   "this application was corrupt. ";
        case 21:
            return "Application requires Microsoft Windows 32-bit extensions. ";
        case 31:
            return text +
                   " has no application associated with it and therefore does not know how to "
                   "open or print it, create an association by using Explorer.";
        default:
            return "Error Launching Program";
    }
}

int StartProcess(std::string_view command_line, bool wait) {
    const std::vector<std::string> argv = CommandWords(command_line);
    if (argv.empty()) return 2;
    const platform::ProgramStart start = platform::StartProgram(
        argv, std::string(), wait ? kStartWait : std::chrono::milliseconds(0));
    if (start.error != 0) return 2;
    return !wait || start.finished ? 0 : 1;
}

int ShellOpen(std::string_view target) {
    const platform::ProgramStart start = platform::StartProgram(
        {kShellOpen, std::string(target)}, std::string(), std::chrono::milliseconds(0));
    // Without the desktop's opener nothing is associated with anything.
    return start.error == 0 ? kLaunchSucceeded : kLaunchNoAssociation;
}

ProgramLaunch LaunchProgram(std::string_view command_line, const std::string& working_dir) {
    ProgramLaunch launch;
    SplitLine split = SplitCommandLine(command_line);
    launch.unbalanced_quotes = split.unbalanced_quotes;
    std::string program = split.program;
    std::string parameters = split.parameters;
    if (program.empty()) {
        launch.result = kLaunchNotFound;
        return launch;
    }
    if (program.find("://") != std::string::npos &&
        program.find_first_of(" \t") == std::string::npos) {
        launch.result = ShellOpen(program);
        return launch;
    }
    std::string path = program.find('/') == std::string::npos ? platform::FindOnPath(program)
                                                              : Resolved(program, working_dir);
    if (!split.quoted && !Exists(path) && program.find_first_of(" \t") != std::string::npos) {
        // "browser target": the program is the first word.
        const size_t blank = program.find_first_of(" \t");
        parameters = program.substr(blank + 1) + (parameters.empty() ? "" : " " + parameters);
        program = program.substr(0, blank);
        path = program.find('/') == std::string::npos ? platform::FindOnPath(program)
                                                      : Resolved(program, working_dir);
    }
    if (path.empty() && Exists(Resolved(program, working_dir)))
        path = Resolved(program, working_dir);
    if (!Exists(path)) {
        launch.result = LaunchResultOf(ENOENT, program.find('/') == std::string::npos ? "" : path);
        return launch;
    }
    std::vector<std::string> argv;
    if (IsExecutableFile(path)) {
        argv.push_back(path);
    } else if (EndsWithIgnoreCase(path, ".sh")) {
        argv = {"/bin/sh", path};
    } else {
        launch.result = ShellOpen(path);
        return launch;
    }
    for (std::string& word : ParameterWords(parameters, working_dir))
        argv.push_back(std::move(word));
    launch.result = Start(argv, working_dir);
    return launch;
}

void OpenInBrowser(const AppSettings& settings, std::string_view target) {
    if (target.empty()) return;
    if (settings.UseDefaultBrowser()) {
        ShellOpen(target);
        return;
    }
    StartProcess(settings.Browser() + " " + QuotedWord(target), false);
}

void OpenInEditor(const AppSettings& settings, std::string_view path) {
    StartProcess(settings.HtmlEditor() + " " + QuotedWord(path), false);
}

bool BrowserCurrentPage(std::string* url, std::string* title) {
    (void)url;
    (void)title;
    return false;
}

bool DdeStart() {
    return true;
}

void DdeEnd() {}

}  // namespace corvalin
