#include "app/core/url_sheet_values.h"

#include "app/core/display_title.h"
#include "app/core/url_fields.h"
#include "engine/interface/ref_counted.h"

namespace corvalin {
namespace {

constexpr int32_t kStatusGrabbed = 71;
constexpr int32_t kFirstOwnErrorCode = 1000;  // 1001 and above: the fetch itself failed

}  // namespace

fw::HRESULT LoadUrlSheet(fw::IDizoziz* engine, const std::string& src_dir, int32_t id,
                         UrlSheetValues* values) {
    if (!engine || !values) return fw::E_POINTER;
    fw::ComPtr<fw::IDizozizUrl> url;
    fw::HRESULT hr = engine->EditUrl(id, url.Receive());
    if (fw::Failed(hr)) return hr;
    int32_t status = 0, error = 0, kind = 0, levels = 0;
    std::string file, notes, page_title;
    hr = url->get_Status(&status);
    if (fw::Succeeded(hr)) hr = url->get_Error(&error);
    if (fw::Succeeded(hr) && status == kStatusGrabbed && error < kFirstOwnErrorCode) {
        hr = url->get_file(&file);
    }
    if (fw::Succeeded(hr)) hr = url->get_Html(&kind);
    if (fw::Succeeded(hr)) hr = url->get_url(&values->url);
    if (fw::Succeeded(hr)) hr = url->get_Username(&values->user);
    if (fw::Succeeded(hr)) hr = url->get_Password(&values->password);
    if (fw::Succeeded(hr)) hr = url->get_Notes(&notes);
    if (fw::Succeeded(hr)) hr = url->get_Title(&page_title);
    if (fw::Succeeded(hr)) hr = url->get_GrabLevels(&levels);
    if (fw::Failed(hr)) return hr;

    if (!file.empty()) {
        const std::string path = src_dir + file;
        const size_t slash = path.rfind('/');
        values->folder = path.substr(0, slash);
        values->file = path.substr(slash + 1);
    }
    values->open_with_shell = kind == fw::kKindOther;
    SplitNotes split = SplitDisplayTitle(notes);
    values->had_display_title = split.title.has_value();
    values->title = split.title ? *split.title : page_title;
    values->notes = split.title ? std::move(split.free_notes) : notes;
    if (levels == -2) {
        values->levels_choice = LevelsChoice::kSkip;
    } else if (levels == -1) {
        values->levels_choice = LevelsChoice::kAllLevels;
    } else {
        values->levels_choice = LevelsChoice::kLevels;
    }
    values->levels = LevelsFieldText(levels);
    return values->filters.Load(engine, id);
}

int32_t LevelsToStore(LevelsChoice choice, const std::string& levels) {
    switch (choice) {
        case LevelsChoice::kSkip:
            return -2;
        case LevelsChoice::kAllLevels:
            return -1;
        case LevelsChoice::kLevels:
            break;
    }
    return FieldNumber(levels).value_or(0);
}

std::string NotesToStore(const UrlSheetValues& values, bool start_url, bool title_changed) {
    if (start_url && (values.had_display_title || title_changed)) {
        return ComposeNotes(values.title, values.notes);
    }
    return values.notes;
}

fw::HRESULT SaveUrlSheet(fw::IDizoziz* engine, int32_t id, bool start_url, bool title_changed,
                         const UrlSheetValues& values) {
    if (!engine) return fw::E_POINTER;
    fw::ComPtr<fw::IDizozizUrl> url;
    fw::HRESULT hr = engine->EditUrl(id, url.Receive());
    if (fw::Succeeded(hr)) {
        hr = url->put_GrabLevels(LevelsToStore(values.levels_choice, values.levels));
    }
    if (fw::Succeeded(hr)) hr = url->put_url(values.url);
    if (fw::Succeeded(hr)) hr = url->put_Username(values.user);
    if (fw::Succeeded(hr)) hr = url->put_Password(values.password);
    if (fw::Succeeded(hr)) hr = url->put_Notes(NotesToStore(values, start_url, title_changed));
    if (fw::Succeeded(hr)) hr = url->Update();
    if (fw::Succeeded(hr)) hr = values.filters.Save(engine);
    return hr;
}

}  // namespace corvalin
