// The Dizoziz's connection point: advised sinks receive every event, called
// directly on the thread that fires it.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/interface/fetchwell.h"

namespace fw {

class EventSource {
public:
    EventSource() = default;
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    // Keeps a reference to the sink until Unadvise; cookies start at 1.
    HRESULT Advise(IDizozizEvents* sink, uint32_t* cookie);
    // E_INVALIDARG for a cookie that is not advised.
    HRESULT Unadvise(uint32_t cookie);
    // Calls every sink advised at the moment of the call. Sinks may advise or
    // unadvise from inside an event.
    void Fire(int32_t event_id, int32_t url_id);

private:
    std::mutex mutex_;
    uint32_t next_cookie_ = 1;
    std::vector<std::pair<uint32_t, ComPtr<IDizozizEvents>>> sinks_;
};

}  // namespace fw
