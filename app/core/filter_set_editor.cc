#include "app/core/filter_set_editor.h"

#include <algorithm>
#include <limits>

#include "engine/interface/ref_counted.h"
#include "platform/text.h"

namespace corvalin {
namespace {

using fw::ComPtr;
using fw::HRESULT;
using fw::IDizozizFilter;

bool IsMediaClassRow(const FilterRow& row, std::string_view word) {
    return row.type == fw::kFilterContentType && row.match == fw::kMatchBeginsWith &&
           row.includes == 0 && row.data == word;
}

HRESULT PutRow(IDizozizFilter* filter, const FilterRow& row) {
    HRESULT hr = filter->put_Type(row.type);
    if (fw::Succeeded(hr)) hr = filter->put_Match(row.match);
    if (fw::Succeeded(hr)) hr = filter->put_Includes(row.includes);
    if (fw::Succeeded(hr)) hr = filter->put_CaseSensitive(row.case_sensitive);
    if (fw::Succeeded(hr)) hr = filter->put_Data(row.data);
    if (fw::Succeeded(hr)) hr = filter->Update();
    return hr;
}

// The entries of the collection taken at the start of a save; its items
// stay valid while the URL object lives.
class SavedCollection {
  public:
    SavedCollection(fw::IDizozizUrl* url, fw::IDizozizEnumFilter* filters)
        : url_(url), filters_(filters) {}

    HRESULT Count(int32_t* count) const { return filters_->get_Count(count); }
    HRESULT Item(int32_t position, ComPtr<IDizozizFilter>* item) const {
        return filters_->get_Item(position, item->Receive());
    }

    // Calls `visit` for each entry of the collection; stops at a failure.
    template <class Visit>
    HRESULT ForEach(Visit visit) const {
        int32_t count = 0;
        HRESULT hr = Count(&count);
        for (int32_t i = 1; fw::Succeeded(hr) && i <= count; ++i) {
            ComPtr<IDizozizFilter> filter;
            hr = Item(i, &filter);
            if (fw::Succeeded(hr)) hr = visit(filter.get());
        }
        return hr;
    }

    // Keeps one entry whose stay flag (`get`) is set, adding one when none
    // is (`want`), or deletes every such entry (not `want`).
    HRESULT SetStayFlag(bool want, HRESULT (IDizozizFilter::*get)(int32_t*),
                        HRESULT (IDizozizFilter::*put)(int32_t)) const {
        bool found = false;
        HRESULT hr = ForEach([&](IDizozizFilter* filter) {
            int32_t set = 0;
            HRESULT step = (filter->*get)(&set);
            if (fw::Failed(step) || !set) return step;
            found = true;
            return want ? fw::S_OK : filter->Delete();
        });
        if (fw::Failed(hr) || !want || found) return hr;
        ComPtr<IDizozizFilter> added;
        hr = url_->NewFilter(added.Receive());
        if (fw::Succeeded(hr)) hr = (added.get()->*put)(1);
        if (fw::Succeeded(hr)) hr = added->Update();
        return hr;
    }

    HRESULT SetSizeLimit(int32_t limit) const {
        const std::string data = std::to_string(limit);
        bool found = false;
        HRESULT hr = ForEach([&](IDizozizFilter* filter) {
            int32_t type = 0;
            HRESULT step = filter->get_Type(&type);
            if (fw::Failed(step) || type != fw::kFilterSize) return step;
            found = true;
            if (limit < 1) return filter->Delete();
            step = filter->put_Data(data);
            return fw::Succeeded(step) ? filter->Update() : step;
        });
        if (fw::Failed(hr) || limit < 1 || found) return hr;
        ComPtr<IDizozizFilter> added;
        hr = url_->NewFilter(added.Receive());
        if (fw::Succeeded(hr)) hr = added->put_Type(fw::kFilterSize);
        if (fw::Succeeded(hr)) hr = added->put_Data(data);
        if (fw::Succeeded(hr)) hr = added->Update();
        return hr;
    }

  private:
    fw::IDizozizUrl* url_;
    fw::IDizozizEnumFilter* filters_;
};

// A stored size limit: its decimal value, never negative.
int32_t SizeFromData(std::string_view data) {
    const long value = platform::LeadingInteger(data);
    if (value <= 0) return 0;
    return static_cast<int32_t>(std::min<long>(value, std::numeric_limits<int32_t>::max()));
}

}  // namespace

HRESULT FilterSetEditor::Load(fw::IDizoziz* engine, int32_t url_id) {
    url_id_ = url_id;
    stay_on_site = false;
    stay_in_dir = false;
    size_limit = 0;
    rows_.clear();
    if (!engine) return fw::E_POINTER;
    ComPtr<fw::IDizozizUrl> url;
    HRESULT hr = engine->EditUrl(url_id, url.Receive());
    ComPtr<fw::IDizozizEnumFilter> filters;
    if (fw::Succeeded(hr)) hr = url->get_EnumFilters(filters.Receive());
    if (fw::Failed(hr)) return hr;
    const SavedCollection collection(url.get(), filters.get());
    int32_t position = 0;
    return collection.ForEach([&](IDizozizFilter* filter) {
        const int32_t index = position++;
        int32_t flag = 0;
        HRESULT step = filter->get_StayOnSite(&flag);
        if (fw::Failed(step) || flag) {
            stay_on_site = stay_on_site || flag;
            return step;
        }
        step = filter->get_StayInDir(&flag);
        if (fw::Failed(step) || flag) {
            stay_in_dir = stay_in_dir || flag;
            return step;
        }
        FilterRow row;
        row.index = index;
        step = filter->get_Type(&row.type);
        if (fw::Succeeded(step) && row.type == fw::kFilterSize) {
            std::string data;
            step = filter->get_Data(&data);
            size_limit = SizeFromData(data);
            return step;
        }
        if (fw::Succeeded(step)) step = filter->get_Match(&row.match);
        if (fw::Succeeded(step)) step = filter->get_Includes(&row.includes);
        if (fw::Succeeded(step)) step = filter->get_CaseSensitive(&row.case_sensitive);
        if (fw::Succeeded(step)) step = filter->get_Data(&row.data);
        row.includes = row.includes != 0;
        row.case_sensitive = row.case_sensitive != 0;
        if (fw::Succeeded(step)) rows_.push_back(std::move(row));
        return step;
    });
}

HRESULT FilterSetEditor::Save(fw::IDizoziz* engine) const {
    if (!engine) return fw::E_POINTER;
    ComPtr<fw::IDizozizUrl> url;
    HRESULT hr = engine->EditUrl(url_id_, url.Receive());
    ComPtr<fw::IDizozizEnumFilter> filters;
    if (fw::Succeeded(hr)) hr = url->get_EnumFilters(filters.Receive());
    if (fw::Failed(hr)) return hr;
    const SavedCollection collection(url.get(), filters.get());
    for (const FilterRow& row : rows_) {
        ComPtr<IDizozizFilter> filter;
        if (row.index < 0) {
            if (row.deleted) continue;
            hr = url->NewFilter(filter.Receive());
            if (fw::Succeeded(hr)) hr = PutRow(filter.get(), row);
        } else {
            hr = collection.Item(row.index + 1, &filter);
            if (fw::Succeeded(hr)) hr = row.deleted ? filter->Delete() : PutRow(filter.get(), row);
        }
        if (fw::Failed(hr)) return hr;
    }
    hr = collection.SetStayFlag(stay_on_site, &IDizozizFilter::get_StayOnSite,
                                &IDizozizFilter::put_StayOnSite);
    if (fw::Succeeded(hr)) {
        hr = collection.SetStayFlag(stay_in_dir, &IDizozizFilter::get_StayInDir,
                                    &IDizozizFilter::put_StayInDir);
    }
    if (fw::Succeeded(hr)) hr = collection.SetSizeLimit(size_limit);
    if (fw::Succeeded(hr)) hr = url->Update();
    return hr;
}

bool FilterSetEditor::MediaClassExcluded(std::string_view word) const {
    return std::any_of(rows_.begin(), rows_.end(), [word](const FilterRow& row) {
        return !row.deleted && IsMediaClassRow(row, word);
    });
}

void FilterSetEditor::SetMediaClassExcluded(std::string_view word, bool excluded) {
    bool existed = false;
    for (FilterRow& row : rows_) {
        if (!IsMediaClassRow(row, word)) continue;
        existed = true;
        row.deleted = !excluded;
    }
    if (!excluded || existed) return;
    FilterRow row;
    row.type = fw::kFilterContentType;
    row.match = fw::kMatchBeginsWith;
    row.data = std::string(word);
    rows_.push_back(std::move(row));
}

bool FilterSetEditor::HasTypeList() const {
    return std::any_of(rows_.begin(), rows_.end(), [](const FilterRow& row) {
        return !row.deleted && row.type == fw::kFilterExtensions;
    });
}

std::string FilterSetEditor::TypeList() const {
    for (const FilterRow& row : rows_) {
        if (!row.deleted && row.type == fw::kFilterExtensions) return row.data;
    }
    return {};
}

void FilterSetEditor::SetTypeList(std::string_view text) {
    if (text.empty()) {
        for (FilterRow& row : rows_) {
            if (row.type == fw::kFilterExtensions) row.deleted = true;
        }
        return;
    }
    auto first = std::find_if(rows_.begin(), rows_.end(), [](const FilterRow& row) {
        return row.type == fw::kFilterExtensions;
    });
    if (first == rows_.end()) {
        rows_.emplace_back();
        first = std::prev(rows_.end());
        first->type = fw::kFilterExtensions;
    }
    first->deleted = false;
    first->data = std::string(text);
}

int32_t SizeLimitFromKiloBytes(int64_t kilobytes) {
    if (kilobytes <= 0) return 0;
    constexpr int64_t kMaxKiloBytes = std::numeric_limits<int32_t>::max() / 1024;
    return static_cast<int32_t>(std::min(kilobytes, kMaxKiloBytes) * 1024);
}

}  // namespace corvalin
