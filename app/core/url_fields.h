// The rules behind the URL fields of the URL wizard and the URL property
// sheet: the address of a new start URL, the levels field and its spin
// button. The dialogs only show what these decide.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/core/start_url.h"

namespace corvalin {

inline constexpr char kUrlWizardDefaultText[] = "http://www.";
inline constexpr char kInvalidUrlText[] =
    "The URL you entered is not valid.  The format is:\nhttp://<server>/dir/page.html";
inline constexpr char kStartLevelsText[] = "Levels must be set to 1 or greater.";
inline constexpr char kPageLevelsText[] =
    "Levels must be left blank or set to 1 or greater to override\ninherited behavior.";

// The address of the wizard's first step. nullopt for the untouched default
// "http://www." (any letter case) and for any text CheckStartUrl refuses
// (not http, https or ftp, no host). Otherwise the text to show in the
// field: as typed (without blanks around it), with "/" after the host when the address names no path
// ("http://host" -> "http://host/", "http://host?q" -> "http://host/?q").
std::optional<std::string> CheckWizardUrl(std::string_view text);

// The whole number of a levels (or other whole-number) field: nullopt when
// the text is not an optional "-" and digits within the 32-bit range, the
// check a number field makes before any rule runs. An empty text is 0.
std::optional<int32_t> FieldNumber(std::string_view text);

enum class LevelsCheck {
    kOk,
    kNotANumber,         // refused by the field's own check
    kStartUrlNeedsLevel, // "Levels must be set to 1 or greater."
    kBlankOrPositive,    // "Levels must be left blank or set to 1 or greater ..."
};

// The "&Levels" field on leaving the URL sheet's Grab page: a start URL
// needs 1 or more; any other URL may leave it blank (it inherits its start
// URL's levels), write "0", or give 1 or more.
LevelsCheck CheckLevelsField(std::string_view text, bool start_url);

// The message for a refused levels field; empty for kOk and kNotANumber.
const char* LevelsMessage(LevelsCheck check);

// The levels field's text for a stored GrabLevels value: "%ld" above 0,
// empty otherwise.
std::string LevelsFieldText(int32_t levels);

// The text after one step of a levels spin button (`step` +1 or -1): never
// below 1; a field that is not a number counts as 0.
std::string SpinLevels(std::string_view text, int step);

// What the URL wizard's four steps chose, with their defaults.
struct WizardChoices {
    std::string url;  // step 1, as CheckWizardUrl showed it
    bool stay_on_site = true;
    bool stay_in_dir = false;
    std::string notes;
    bool all_levels = false;  // step 2
    int32_t levels = 2;
    bool only_types = false;  // step 3: "Only download these types of files"
    std::string types;
    // "A&pplications", "Au&dio", "&Video", "&Images", in kMediaClasses order.
    // Applications start unchecked: scripts, fonts and data files are served
    // as application/*, and a copy without them does not work offline.
    bool exclude[4] = {false, true, true, false};
};

// The start URL the wizard's Finish creates: the address (its user and
// password, if it names them, become its credentials), -1 for all levels,
// and either the normalised type list or, when that is empty or not chosen,
// the checked media classes. nullopt when the address is not valid.
std::optional<StartUrlOptions> WizardStartUrl(const WizardChoices& choices);

}  // namespace corvalin
