// Dizoziz members whose subsystems are not part of this build yet. Each
// answers E_NOTIMPL with a message naming the member.
#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"

namespace fw {

namespace {

HRESULT Pending(const char* member) {
    return ReportErrorWith(E_NOTIMPL, std::string(member) + " is not available in this build");
}

}  // namespace

HRESULT Dizoziz::Refix() { return Pending("Refix"); }
HRESULT Dizoziz::ImportBookmarks(const std::string&) { return Pending("Import of bookmark files"); }
HRESULT Dizoziz::GrabBegin(int32_t, int32_t) { return Pending("GrabBegin"); }
HRESULT Dizoziz::Grab(int32_t, int32_t) { return Pending("Grab"); }
HRESULT Dizoziz::ResumeBegin(int32_t) { return Pending("ResumeBegin"); }
HRESULT Dizoziz::PreviewBegin(int32_t) { return Pending("PreviewBegin"); }
HRESULT Dizoziz::LinkCheckBegin(int32_t) { return Pending("LinkCheckBegin"); }
HRESULT Dizoziz::GrabEnd() { return S_OK; }  // no grab can run yet
HRESULT Dizoziz::SkipUrl(int32_t) { return S_OK; }
HRESULT Dizoziz::WorkingThreads(int32_t* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT Dizoziz::BytesReceived(int32_t* bytes) {
    if (!bytes) return E_POINTER;
    *bytes = 0;
    return S_OK;
}
HRESULT Dizoziz::BytesSent(int32_t* bytes) {
    if (!bytes) return E_POINTER;
    *bytes = 0;
    return S_OK;
}
HRESULT Dizoziz::UrlStatus(int32_t, IDizozizUrlStatus**) { return Pending("UrlStatus"); }
HRESULT Dizoziz::QueueJob(int32_t) { return Pending("QueueJob"); }
HRESULT Dizoziz::BeginQueuedJobs(int32_t) { return Pending("BeginQueuedJobs"); }
HRESULT Dizoziz::BeginScheduled() { return Pending("BeginScheduled"); }

}  // namespace fw
