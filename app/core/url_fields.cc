#include "app/core/url_fields.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "platform/text.h"

namespace corvalin {

std::optional<std::string> CheckWizardUrl(std::string_view text) {
    text = platform::TrimView(text);
    if (platform::EqualsIgnoreCase(text, kUrlWizardDefaultText)) return std::nullopt;
    if (!CheckStartUrl(text, nullptr)) return std::nullopt;
    // CheckStartUrl found "://" and a host; the path starts after the host.
    const size_t host_start = text.find("://") + 3;
    const size_t host_end = text.find_first_of("/?#", host_start);
    if (host_end != std::string_view::npos && text[host_end] == '/') return std::string(text);
    std::string shown(text);
    shown.insert(host_end == std::string_view::npos ? shown.size() : host_end, "/");
    return shown;
}

std::optional<int32_t> FieldNumber(std::string_view text) {
    if (text.empty()) return 0;
    const bool negative = text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

LevelsCheck CheckLevelsField(std::string_view text, bool start_url) {
    const std::optional<int32_t> value = FieldNumber(text);
    if (!value) return LevelsCheck::kNotANumber;
    if (start_url) return *value > 0 ? LevelsCheck::kOk : LevelsCheck::kStartUrlNeedsLevel;
    if (text.empty() || *value > 0 || text == "0") return LevelsCheck::kOk;
    return LevelsCheck::kBlankOrPositive;
}

const char* LevelsMessage(LevelsCheck check) {
    switch (check) {
        case LevelsCheck::kStartUrlNeedsLevel:
            return kStartLevelsText;
        case LevelsCheck::kBlankOrPositive:
            return kPageLevelsText;
        default:
            return "";
    }
}

std::string LevelsFieldText(int32_t levels) {
    return levels > 0 ? std::to_string(levels) : std::string();
}

std::string SpinLevels(std::string_view text, int step) {
    const int64_t value = FieldNumber(text).value_or(0);
    const int64_t next = std::clamp<int64_t>(value + step, 1, std::numeric_limits<int32_t>::max());
    return std::to_string(next);
}

std::optional<StartUrlOptions> WizardStartUrl(const WizardChoices& choices) {
    StartUrlOptions options;
    const std::optional<std::string> shown = CheckWizardUrl(choices.url);
    if (!shown) return std::nullopt;
    options.url = *CheckStartUrl(*shown, nullptr, &options.url_user, &options.url_password);
    options.levels = choices.all_levels ? -1 : choices.levels;
    options.notes = choices.notes;
    options.stay_on_site = choices.stay_on_site;
    options.stay_in_dir = choices.stay_in_dir;
    if (choices.only_types) options.only_types = NormaliseTypeList(choices.types);
    options.excluded_classes.clear();
    if (options.only_types.empty()) {
        for (size_t i = 0; i < std::size(kMediaClasses); ++i) {
            if (choices.exclude[i]) options.excluded_classes.emplace_back(kMediaClasses[i]);
        }
    }
    return options;
}

}  // namespace corvalin
