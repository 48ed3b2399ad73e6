#include "app/core/command_line.h"

#include <climits>
#include <string_view>

#include "platform/text.h"

namespace corvalin {
namespace {

// The switch's value: the text after an optional ":" that follows the letter.
std::string_view ValueAfterLetter(std::string_view rest) {
    if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
    return rest;
}

void ApplySwitch(std::string_view body, CommandLineInfo* info) {
    const char letter = platform::ToUpperAscii(body.front());
    const std::string_view rest = body.substr(1);
    switch (letter) {
        case 'A':
            if (info->add_url.empty()) info->add_url = std::string(ValueAfterLetter(rest));
            return;
        case 'I':
            if (info->import_file.empty()) info->import_file = std::string(ValueAfterLetter(rest));
            return;
        case 'L':
            if (rest.empty()) {
                info->levels = -1;
            } else if (rest.front() == ':') {
                long n = platform::LeadingInteger(rest.substr(1));
                info->levels = n < 0 ? 0 : static_cast<int32_t>(n > INT32_MAX ? INT32_MAX : n);
            }
            return;
        case 'C':
            info->stay_on_site = rest != ":0";
            return;
        case 'U':
            if (rest.empty()) info->update = true;
            return;
        case 'E':
            if (rest.empty()) info->exit = true;
            return;
        default:
            return;  // the window toolkit's
    }
}

// A "/" starts every absolute path too, so after "/" only the unmistakable
// forms count as switches: a switch letter alone or followed by ":", "/A"
// directly followed by a URL ("/Ahttp://host/") and "/I" directly followed
// by a file name without a directory ("/Ilist.txt"). "/Users/me/new.cvn" and
// "/Applications/sites.cvn" stay paths.
bool IsSlashSwitch(std::string_view arg) {
    if (arg.size() < 2 || arg.front() != '/') return false;
    const char letter = platform::ToUpperAscii(arg[1]);
    if (std::string_view("ALCIUE").find(letter) == std::string_view::npos) return false;
    const std::string_view rest = arg.substr(2);
    if (rest.empty() || rest.front() == ':') return true;
    if (letter == 'A') return rest.find("://") != std::string_view::npos;
    if (letter == 'I') return rest.find('/') == std::string_view::npos;
    return false;
}

}  // namespace

CommandLineInfo ParseCommandLine(const std::vector<std::string>& args) {
    CommandLineInfo info;
    for (const std::string& arg : args) {
        if ((arg.size() >= 2 && arg.front() == '-') || IsSlashSwitch(arg)) {
            ApplySwitch(std::string_view(arg).substr(1), &info);
        } else if (!arg.empty() && arg.front() != '-' && info.file_name.empty()) {
            info.file_name = arg;
            info.shell_command = CommandLineInfo::ShellCommand::kFileOpen;
        }
    }
    return info;
}

}  // namespace corvalin
