#include "app/core/after_grab.h"

#include <utility>

#include "platform/text.h"

namespace corvalin {
namespace {

void ReplaceAll(std::string* text, std::string_view placeholder, std::string_view value) {
    for (size_t at = text->find(placeholder); at != std::string::npos;
         at = text->find(placeholder, at + value.size())) {
        text->replace(at, placeholder.size(), value);
    }
}

}  // namespace

std::string ExpandRunCommand(std::string_view run_cmd, const RunCommandValues& values) {
    const std::string& project = values.project_file;
    const std::string name = project.substr(project.find_last_of('/') + 1);
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    std::string command(run_cmd);
    const std::pair<std::string_view, std::string_view> steps[] = {
        {"%b", values.browser},
        {"%d", values.content_dir},
        {"%i", values.program_dir},
        {"%f", name},
        {"%g", stem},
        {"%c", values.shell},
    };
    for (const auto& [placeholder, value] : steps) ReplaceAll(&command, placeholder, value);
    return std::string(platform::TrimView(command));
}

}  // namespace corvalin
