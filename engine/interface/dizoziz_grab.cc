// Dizoziz: grab control members (they delegate to GrabControl).
#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"
#include "engine/interface/ref_counted.h"

namespace fw {

namespace {

// A snapshot of one URL being fetched.
class UrlStatusObject : public RefCounted<IDizozizUrlStatus> {
public:
    UrlStatusObject(int32_t state, int32_t received, int32_t sent)
        : state_(state), received_(received), sent_(sent) {}
    HRESULT get_State(int32_t* v) override { return Get(v, state_); }
    HRESULT get_BytesReceived(int32_t* v) override { return Get(v, received_); }
    HRESULT get_BytesSent(int32_t* v) override { return Get(v, sent_); }

private:
    static HRESULT Get(int32_t* out, int32_t value) {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }
    int32_t state_, received_, sent_;
};

}  // namespace

HRESULT Dizoziz::GrabBegin(int32_t id, int32_t refresh) {
    if (!open_) return NotOpen();
    grab_.GrabBegin(id, refresh != 0);
    return S_OK;
}

HRESULT Dizoziz::Grab(int32_t id, int32_t refresh) {
    if (!open_) return NotOpen();
    grab_.Grab(id, refresh != 0);
    return S_OK;
}

HRESULT Dizoziz::ResumeBegin(int32_t refresh) {
    if (!open_) return NotOpen();
    grab_.ResumeBegin(refresh != 0);
    return S_OK;
}

HRESULT Dizoziz::PreviewBegin(int32_t id) {
    if (!open_) return NotOpen();
    grab_.PreviewBegin(id);
    return S_OK;
}

HRESULT Dizoziz::LinkCheckBegin(int32_t id) {
    if (!open_) return NotOpen();
    grab_.LinkCheckBegin(id);
    return S_OK;
}

HRESULT Dizoziz::GrabEnd() {
    grab_.GrabEnd();
    return S_OK;
}

HRESULT Dizoziz::SkipUrl(int32_t id) {
    grab_.SkipUrl(id);
    return S_OK;
}

HRESULT Dizoziz::WorkingThreads(int32_t* count) {
    if (!count) return E_POINTER;
    *count = grab_.WorkingThreads();
    return S_OK;
}

HRESULT Dizoziz::WaitingUrls(int32_t* count) {
    if (!count) return E_POINTER;
    *count = grab_.WaitingUrls();
    return S_OK;
}

HRESULT Dizoziz::FinishedUrls(int32_t* count) {
    if (!count) return E_POINTER;
    *count = grab_.FinishedUrls();
    return S_OK;
}

HRESULT Dizoziz::UntrustedHost(int32_t index, std::string* host, int32_t* reason) {
    if (!host || !reason) return E_POINTER;
    host->clear();
    *reason = 0;
    if (index < 0) return E_INVALIDARG;
    return grab_.untrusted_hosts().At(static_cast<size_t>(index), host, reason) ? S_OK : S_FALSE;
}

HRESULT Dizoziz::OverrideSetting(const std::string& section, const std::string& key,
                                 const std::string& value) {
    return grab_prefs_.SetOverride(section, key, value) ? S_OK : E_INVALIDARG;
}

HRESULT Dizoziz::BytesReceived(int32_t* bytes) {
    if (!bytes) return E_POINTER;
    *bytes = grab_.BytesReceived();
    return S_OK;
}

HRESULT Dizoziz::BytesSent(int32_t* bytes) {
    if (!bytes) return E_POINTER;
    *bytes = grab_.BytesSent();
    return S_OK;
}

HRESULT Dizoziz::UrlStatus(int32_t id, IDizozizUrlStatus** status) {
    if (!status) return E_POINTER;
    int32_t state = 0, received = 0, sent = 0;
    grab_.UrlState(id, &state, &received, &sent);
    return HandOut(MakeObject<UrlStatusObject>(state, received, sent), status);
}

HRESULT Dizoziz::QueueJob(int32_t id) {
    if (id < 0) return E_INVALIDARG;
    grab_.QueueJob(id);
    return S_OK;
}

HRESULT Dizoziz::BeginQueuedJobs(int32_t action) {
    if (!open_) return NotOpen();
    grab_.BeginQueuedJobs(action);
    return S_OK;
}

HRESULT Dizoziz::BeginScheduled() {
    if (!open_) return NotOpen();
    grab_.BeginScheduled();
    return S_OK;
}

}  // namespace fw
