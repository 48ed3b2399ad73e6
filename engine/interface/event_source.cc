#include "engine/interface/event_source.h"

namespace fw {

HRESULT EventSource::Advise(IDizozizEvents* sink, uint32_t* cookie) {
    if (!sink || !cookie) return E_POINTER;
    std::lock_guard<std::mutex> guard(mutex_);
    *cookie = next_cookie_++;
    sinks_.emplace_back(*cookie, ComPtr<IDizozizEvents>(sink));
    return S_OK;
}

HRESULT EventSource::Unadvise(uint32_t cookie) {
    ComPtr<IDizozizEvents> released;  // released outside the lock
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            released = std::move(it->second);
            sinks_.erase(it);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

void EventSource::Fire(int32_t event_id, int32_t url_id) {
    std::vector<ComPtr<IDizozizEvents>> targets;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        targets.reserve(sinks_.size());
        for (const auto& entry : sinks_) targets.push_back(entry.second);
    }
    for (const auto& sink : targets) sink->Invoke(event_id, url_id);
}

}  // namespace fw
