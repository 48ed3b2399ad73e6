// The engine's public interface: the Dizoziz object, the objects it hands out,
// its events and the exported entry points. This header (with com.h) is all a
// program that loads libfetchwell.so needs.
//
// Conventions: every member returns an HRESULT and passes results through
// out-parameters. Text is UTF-8 in std::string. A member that fails with a
// message records error information for the calling thread (read it with
// FetchwellGetErrorInfo) and returns DISP_E_EXCEPTION. Objects handed out are
// reference counted; release them before releasing the Dizoziz. Ids are 32-bit
// signed; flags are 32-bit where any non-zero value means true.
#pragma once

#include <cstdint>
#include <string>

#include "engine/interface/com.h"

namespace fw {

// Fixed identifiers, chosen once and never changed.
inline constexpr Guid CLSID_Dizoziz = {0xC9267D26, 0xFB8D, 0x48F4, {0xBA, 0x96, 0xCF, 0x4C, 0x8A, 0x5A, 0x8D, 0x2F}};
inline constexpr Guid IID_IDizoziz = {0x07304001, 0xDC84, 0x45C5, {0x91, 0x8F, 0x99, 0x88, 0x58, 0x9F, 0x10, 0x5D}};
inline constexpr Guid IID_IDizozizEvents = {0x567D1C52, 0xE19B, 0x4521, {0xB3, 0xD2, 0x61, 0x63, 0x2D, 0x8B, 0x5A, 0x17}};
inline constexpr Guid DIID_DDizozizEvents = {0xF1F587BC, 0xF746, 0x4B04, {0x8A, 0xDE, 0xEE, 0x59, 0x57, 0xC9, 0x34, 0xC4}};
inline constexpr Guid IID_IDizozizUrl = {0x06A2F320, 0x4849, 0x4B73, {0xB9, 0x0E, 0x30, 0xB4, 0x74, 0xC1, 0x67, 0x7C}};
inline constexpr Guid IID_IDizozizUrlStatus = {0xBDC05BDD, 0xD873, 0x4705, {0xA6, 0xBB, 0xD4, 0xF0, 0x76, 0x3E, 0xAC, 0xA8}};
inline constexpr Guid IID_IDizozizPrefs = {0xF4D4FF63, 0xB2DA, 0x438C, {0x8B, 0xA3, 0xB1, 0xB0, 0xF7, 0xAC, 0x52, 0x64}};
inline constexpr Guid IID_IDizozizFilter = {0xEAE5F3E6, 0x4886, 0x4A9E, {0xB7, 0xA2, 0x83, 0x9E, 0x3B, 0xA7, 0xE1, 0x54}};
inline constexpr Guid IID_IDizozizEnumChild = {0x20F2C0E8, 0x9391, 0x4D50, {0xA2, 0xD2, 0x69, 0x14, 0x90, 0x19, 0xB8, 0x97}};
inline constexpr Guid IID_IDizozizEnumFilter = {0xED91926E, 0x3B6A, 0x410C, {0xB1, 0xC0, 0xFA, 0x06, 0xF5, 0xEB, 0x42, 0x39}};
inline constexpr Guid IID_IDizozizEnumUrl = {0x5A71C585, 0xF65E, 0x4AB8, {0x98, 0xE9, 0x8A, 0x64, 0xB4, 0xB1, 0x76, 0x6E}};
inline constexpr Guid IID_IDizozizUrlEnumerator = {0x9F1FF9D2, 0x9882, 0x4923, {0x9F, 0x71, 0xCB, 0xDB, 0x68, 0xFC, 0x37, 0xC8}};
inline constexpr Guid IID_IDizozizFilterEnumerator = {0xFE3F9610, 0xF147, 0x4DA8, {0xB6, 0x70, 0x4B, 0x9F, 0x13, 0x12, 0x7D, 0xD7}};

inline constexpr char kProgId[] = "Fetchwell.Dizoziz";
inline constexpr char kProgIdVersioned[] = "Fetchwell.Dizoziz.1";
inline constexpr char kClassDescription[] = "Fetchwell Class";

// Values shared with callers.
enum UrlKind : int32_t {
    kKindUnknown = 0, kKindHtml = 1, kKindText = 2, kKindImage = 3, kKindOther = 4,
    kKindSearchFolder = 5, kKindLinkCheck = 6, kKindCss = 7,
};
enum UrlStatusCode : int32_t { kStatusNone = 0, kStatusFetched = 70, kStatusGrabbed = 71 };
enum FetchStateCode : int32_t {
    kFetchPending = 0, kFetchLookup = 1, kFetchConnect = 2, kFetchSend = 3, kFetchReceive = 4,
    kFetchDone = 5, kFetchError = 6, kFetchFixing = 7,
};
// A URL's error code when the fetch failed without a status to record (the
// ERROR column holds the HTTP status otherwise, or an FTP reply plus 1000).
enum UrlErrorCode : int32_t {
    kErrorUnreachable = 1001,       // the name lookup or the connection failed
    kErrorTransferBroken = 1002,    // the connection broke off after it was made
    kErrorProxyCannotCarry = 1008,  // the configured proxy kind cannot carry the request
    kErrorTooManyRedirects = 1009,  // the URL's redirect would pass the chain's limit
    // The server's certificate failed verification (and untrusted
    // certificates were not allowed for the grab): nothing was sent.
    kErrorCertificateSelfSigned = 1010,        // signed by itself
    kErrorCertificateUnknownAuthority = 1011,  // signed by an authority not trusted here
    kErrorCertificateExpired = 1012,
    kErrorCertificateNameMismatch = 1013,      // made out for another host name
    kErrorCertificateRefused = 1014,           // any other fault (not yet valid, revoked, ...)
};
enum JobKind : int32_t { kJobNone = 0, kJobTrawl = 1, kJobRefresh = 2, kJobPreview = 3, kJobLinkCheck = 4 };
enum FilterTypeCode : int32_t {
    kFilterContentType = 77, kFilterSize = 83, kFilterUrl = 85, kFilterExtensions = 90,
};
enum MatchKindCode : int32_t { kMatchEquals = 0, kMatchContains = 1, kMatchBeginsWith = 2, kMatchEndsWith = 3 };

class IDizozizUrl;
class IDizozizFilter;

// Walks a collection: Next yields S_OK and one new reference, or S_FALSE with
// *item set to null at the end.
template <class T>
class IDizozizEnumerator : public IUnknown {
public:
    virtual HRESULT Next(T** item) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
};
using IDizozizUrlEnumerator = IDizozizEnumerator<IDizozizUrl>;
using IDizozizFilterEnumerator = IDizozizEnumerator<IDizozizFilter>;

// One entry of a URL's filter set. Changes reach the tables only through the
// owning URL object's Update.
class IDizozizFilter : public IUnknown {
public:
    virtual HRESULT get_Type(int32_t* type) = 0;                // 1
    virtual HRESULT put_Type(int32_t type) = 0;
    virtual HRESULT get_Match(int32_t* match) = 0;              // 2
    virtual HRESULT put_Match(int32_t match) = 0;
    virtual HRESULT get_Includes(int32_t* includes) = 0;        // 3
    virtual HRESULT put_Includes(int32_t includes) = 0;
    virtual HRESULT get_CaseSensitive(int32_t* sensitive) = 0;  // 4
    virtual HRESULT put_CaseSensitive(int32_t sensitive) = 0;
    virtual HRESULT get_Data(std::string* data) = 0;            // 5
    virtual HRESULT put_Data(const std::string& data) = 0;
    virtual HRESULT Update() = 0;                               // 6
    virtual HRESULT Delete() = 0;                               // 7
    virtual HRESULT get_StayOnSite(int32_t* stay) = 0;          // 8
    virtual HRESULT put_StayOnSite(int32_t stay) = 0;
    virtual HRESULT get_StayInDir(int32_t* stay) = 0;           // 9
    virtual HRESULT put_StayInDir(int32_t stay) = 0;
};

class IDizozizEnumFilter : public IUnknown {
public:
    virtual HRESULT get_Count(int32_t* count) = 0;                       // 1
    virtual HRESULT get_Item(int32_t index, IDizozizFilter** item) = 0;  // 0, 1-based
    virtual HRESULT NewEnum(IDizozizFilterEnumerator** out) = 0;         // -4
};

// One URL of the project.
class IDizozizUrl : public IUnknown {
public:
    virtual HRESULT get_url(std::string* url) = 0;                 // 1
    virtual HRESULT put_url(const std::string& url) = 0;
    virtual HRESULT get_id(int32_t* id) = 0;                       // 2
    virtual HRESULT get_Level(int32_t* level) = 0;                 // 3
    virtual HRESULT get_MinLevel(int32_t* min_level) = 0;          // 4
    virtual HRESULT get_Html(int32_t* kind) = 0;                   // 5
    virtual HRESULT put_Html(int32_t kind) = 0;
    virtual HRESULT get_Status(int32_t* status) = 0;               // 6
    virtual HRESULT get_Title(std::string* title) = 0;             // 7
    virtual HRESULT get_file(std::string* file) = 0;               // 8
    virtual HRESULT get_Created(int32_t* time) = 0;                // 9
    virtual HRESULT get_Modified(int32_t* time) = 0;               // 10
    virtual HRESULT Update() = 0;                                  // 11
    virtual HRESULT get_GrabLevels(int32_t* levels) = 0;           // 12
    virtual HRESULT put_GrabLevels(int32_t levels) = 0;
    virtual HRESULT get_Notes(std::string* notes) = 0;             // 13
    virtual HRESULT put_Notes(const std::string& notes) = 0;
    virtual HRESULT get_GrabNow(int32_t* now) = 0;                 // 14
    virtual HRESULT put_GrabNow(int32_t now) = 0;
    virtual HRESULT get_Error(int32_t* error) = 0;                 // 16
    virtual HRESULT put_Error(int32_t error) = 0;
    virtual HRESULT get_Username(std::string* user) = 0;           // 17
    virtual HRESULT put_Username(const std::string& user) = 0;
    virtual HRESULT get_Password(std::string* password) = 0;       // 18
    virtual HRESULT put_Password(const std::string& password) = 0;
    virtual HRESULT get_EnumFilters(IDizozizEnumFilter** filters) = 0;  // 19
    virtual HRESULT NewFilter(IDizozizFilter** filter) = 0;        // 20
    virtual HRESULT get_Grabbed(int32_t* time) = 0;                // 21
    virtual HRESULT get_New(int32_t* is_new) = 0;                  // 22
    virtual HRESULT SaveFilterAsDefault() = 0;                     // 23
    virtual HRESULT get_ContentType(std::string* type) = 0;        // 24
    virtual HRESULT GetInternetFile(const std::string& url, std::string* file,
                                    int32_t* delete_file) = 0;     // 25
    virtual HRESULT get_Schedule(int32_t* schedule) = 0;           // 26
    virtual HRESULT put_Schedule(int32_t schedule) = 0;
};

// Ordered URL collections (children, parents, bad links, search results).
class IDizozizEnumUrl : public IUnknown {
public:
    virtual HRESULT get_Count(int32_t* count) = 0;                    // 1
    virtual HRESULT get_Item(int32_t index, IDizozizUrl** item) = 0;  // 0, 1-based
    virtual HRESULT NewEnum(IDizozizUrlEnumerator** out) = 0;         // -4
};

// Tree children for display; same members as IDizozizEnumUrl.
class IDizozizEnumChild : public IUnknown {
public:
    virtual HRESULT get_Count(int32_t* count) = 0;
    virtual HRESULT get_Item(int32_t index, IDizozizUrl** item) = 0;
    virtual HRESULT NewEnum(IDizozizUrlEnumerator** out) = 0;
};

// A snapshot of a URL being fetched.
class IDizozizUrlStatus : public IUnknown {
public:
    virtual HRESULT get_State(int32_t* state) = 0;                 // 1
    virtual HRESULT get_BytesReceived(int32_t* bytes) = 0;         // 2
    virtual HRESULT get_BytesSent(int32_t* bytes) = 0;             // 3
};

// The engine's settings. Proxy members change memory only; they are written
// when the object is finally released.
class IDizozizPrefs : public IUnknown {
public:
    virtual HRESULT get_UseDialUp(int32_t* v) = 0;
    virtual HRESULT put_UseDialUp(int32_t v) = 0;
    virtual HRESULT get_DialUpEntry(std::string* v) = 0;
    virtual HRESULT put_DialUpEntry(const std::string& v) = 0;
    virtual HRESULT get_DialUpUserName(std::string* v) = 0;
    virtual HRESULT put_DialUpUserName(const std::string& v) = 0;
    virtual HRESULT get_DialUpPassword(std::string* v) = 0;
    virtual HRESULT put_DialUpPassword(const std::string& v) = 0;
    virtual HRESULT get_DialUpDomain(std::string* v) = 0;
    virtual HRESULT put_DialUpDomain(const std::string& v) = 0;
    virtual HRESULT get_UserAgent(std::string* v) = 0;
    virtual HRESULT put_UserAgent(const std::string& v) = 0;
    virtual HRESULT get_MaxThreads(int32_t* v) = 0;
    virtual HRESULT put_MaxThreads(int32_t v) = 0;
    virtual HRESULT get_MaxThreadsPerServer(int32_t* v) = 0;
    virtual HRESULT put_MaxThreadsPerServer(int32_t v) = 0;
    virtual HRESULT get_PercentMaxThreads(int32_t* v) = 0;
    virtual HRESULT put_PercentMaxThreads(int32_t v) = 0;
    virtual HRESULT get_Retries(int32_t* v) = 0;
    virtual HRESULT put_Retries(int32_t v) = 0;
    virtual HRESULT get_UseProxy(int32_t* v) = 0;
    virtual HRESULT put_UseProxy(int32_t v) = 0;
    virtual HRESULT get_ProxyType(int32_t* v) = 0;
    virtual HRESULT put_ProxyType(int32_t v) = 0;
    virtual HRESULT get_ProxyServer(std::string* v) = 0;
    virtual HRESULT put_ProxyServer(const std::string& v) = 0;
    virtual HRESULT get_ProxyPort(int32_t* v) = 0;
    virtual HRESULT put_ProxyPort(int32_t v) = 0;
    virtual HRESULT get_ProxyUsername(std::string* v) = 0;
    virtual HRESULT put_ProxyUsername(const std::string& v) = 0;
    virtual HRESULT get_ProxyPassword(std::string* v) = 0;
    virtual HRESULT put_ProxyPassword(const std::string& v) = 0;
    virtual HRESULT get_UseTimeLimit(int32_t* v) = 0;
    virtual HRESULT put_UseTimeLimit(int32_t v) = 0;
    virtual HRESULT get_LimitMinutes(int32_t* v) = 0;
    virtual HRESULT put_LimitMinutes(int32_t v) = 0;
    virtual HRESULT get_LimitHours(int32_t* v) = 0;
    virtual HRESULT put_LimitHours(int32_t v) = 0;
    virtual HRESULT get_UseByteLimit(int32_t* v) = 0;
    virtual HRESULT put_UseByteLimit(int32_t v) = 0;
    virtual HRESULT get_LimitKiloBytes(int32_t* v) = 0;
    virtual HRESULT put_LimitKiloBytes(int32_t v) = 0;
    virtual HRESULT get_FileFlags(int32_t* v) = 0;
    virtual HRESULT put_FileFlags(int32_t v) = 0;
    // The cap on one response's body in kilobytes; 0: none.
    virtual HRESULT get_LimitResponseKiloBytes(int32_t* v) = 0;
    virtual HRESULT put_LimitResponseKiloBytes(int32_t v) = 0;
    // 1: a certificate that fails verification is accepted (and the user
    // warned) instead of failing its URL; 0, the default: refused.
    virtual HRESULT get_AllowUntrustedCertificates(int32_t* v) = 0;
    virtual HRESULT put_AllowUntrustedCertificates(int32_t v) = 0;
};

// Event ids (the DDizozizEvents dispatch identifiers).
enum EventId : int32_t {
    kOnGrabBegin = 1,      // no URL (url_id 0)
    kOnGrabComplete = 2,   // no URL (url_id 0)
    kOnGrabUrlNew = 3,
    kOnGrabUrlDone = 4,
    kOnGrabUrlAdd = 5,
    kOnGrabUrlDelete = 6,
    kOnGrabUrlUpdate = 7,
};

// An event sink. Invoke is called directly on the engine thread that fires the
// event; a sink must not wait for the thread that drives the engine.
class IDizozizEvents : public IUnknown {
public:
    virtual void Invoke(int32_t event_id, int32_t url_id) = 0;
};

// The engine object.
//
// Threads. One thread drives the object: the thread that opens and closes
// projects (a program's UI thread, the command line's main thread). Every
// member runs on the thread that calls it; only grabs run on threads of
// their own (a grab thread and its workers).
//
// Members that any thread may call at any time, also from inside an event
// sink: WorkingThreads, WaitingUrls, BytesReceived, BytesSent, UrlStatus,
// SkipUrl (they read the running grab under a small lock of their own and
// never wait for the store), Advise and Unadvise.
//
// Members that read the project (EditUrl, ReadUrl, GetUrl, HaveUrl,
// HasChildren, EnumChildren, NewEnumChildren, EnumParents, Search,
// IndexSearch, ValidIndexSearch, and the members of the objects they hand
// out) may also be called from a helper thread of the caller, for long work
// kept off the driving thread. REQUIRES: the driving thread does not Close or
// reopen the project until the helper's call has returned and its objects
// are released. Error information is per thread: the helper reads its own.
//
// GrabEnd may be called from a helper thread too, so that the driving thread
// stays responsive while a grab winds down. REQUIRES: the driving thread
// calls no member that starts or ends a grab, nor Close, until it returns.
//
// Inside an event sink (engine threads; OnGrabBegin on the caller's thread
// inside the call that starts the grab): record, post to the driving thread
// and return. Never call GrabEnd, Close, Open, OpenPlus or a member that starts
// a grab there: GrabEnd waits for the very thread that is calling the sink.
// Members that take the store lock are safe but hold up the grab.
//
// How long members block the caller:
//   - GrabEnd: until the grab thread has ended: running fetches are cancelled
//     (every network wait watches the stop event), then pages that still
//     wait for their links are rewritten. Close ends a running grab the same
//     way. Seconds on a large grab.
//   - GrabBegin, PreviewBegin, LinkCheckBegin, ResumeBegin, BeginQueuedJobs:
//     seed the crawl queue under the store lock and dial when configured,
//     then return; the grab goes on in the background. They wait for an
//     index search of the project that is under way (a grab makes the index
//     stale). Grab runs a whole grab on the calling thread.
//   - Long work, minutes on a large project: Search, IndexSearch and
//     ValidIndexSearch (every grabbed page is read; the index is rebuilt when
//     stale), NewEnumChildren of a search folder (kind 5), which is a Search
//     of the folder's text, and Pack, Clean, Refix, Import, ExportTree,
//     ExportPage, Copy and EnumBadLinks(0), which walk the project holding
//     the store lock and so also hold up a running grab. Open and OpenPlus
//     read the tables' indexes: proportional to the project's size.
//   - Everything else: a few table lookups under the store lock, waiting for
//     that lock when a grab's worker holds it (short spells).
class IDizoziz : public IUnknown {
public:
    virtual HRESULT Open(const std::string& path) = 0;                                   // 1
    virtual HRESULT EditUrl(int32_t id, IDizozizUrl** url) = 0;                           // 3
    virtual HRESULT NewUrl(IDizozizUrl** url) = 0;                                        // 4
    virtual HRESULT UpdateUrl(IDizozizUrl** url) = 0;                                     // 5
    virtual HRESULT EnumChildren(int32_t parent_id, IDizozizEnumChild** children) = 0;    // 6
    virtual HRESULT GrabBegin(int32_t id, int32_t refresh) = 0;                           // 7
    virtual HRESULT GrabEnd() = 0;                                                        // 8
    virtual HRESULT Pack() = 0;                                                           // 9
    virtual HRESULT WorkingThreads(int32_t* count) = 0;                                   // 11
    virtual HRESULT HasChildren(int32_t parent_id, int32_t* has) = 0;                     // 12
    virtual HRESULT DeleteUrl(int32_t id) = 0;                                            // 13
    virtual HRESULT Clean() = 0;                                                          // 14
    virtual HRESULT UrlStatus(int32_t id, IDizozizUrlStatus** status) = 0;                // 15
    virtual HRESULT BytesReceived(int32_t* bytes) = 0;                                    // 17
    virtual HRESULT BytesSent(int32_t* bytes) = 0;                                        // 18
    virtual HRESULT Preferences(IDizozizPrefs** prefs) = 0;                               // 19
    virtual HRESULT Close() = 0;                                                          // 20
    virtual HRESULT Import(const std::string& path) = 0;                                  // 21
    virtual HRESULT IsOpen(int32_t* open) = 0;                                            // 22
    virtual HRESULT ExportTree(int32_t id, const std::string& target_dir) = 0;            // 23
    virtual HRESULT ExportPage(int32_t id, const std::string& target_dir) = 0;            // 24
    virtual HRESULT Search(const std::string& pattern, IDizozizEnumUrl** found) = 0;      // 25
    virtual HRESULT Grab(int32_t id, int32_t refresh) = 0;                                // 26
    virtual HRESULT ResumeBegin(int32_t refresh) = 0;                                     // 27
    virtual HRESULT SkipUrl(int32_t id) = 0;                                              // 28
    virtual HRESULT HaveUrl(const std::string& url, int32_t* have) = 0;                   // 29
    virtual HRESULT GetUrlFile(const std::string& url, std::string* file,
                               int32_t* delete_file) = 0;                                 // 30
    virtual HRESULT GetUrl(const std::string& url, IDizozizUrl** found) = 0;              // 31
    virtual HRESULT EnumParents(int32_t child_id, IDizozizEnumUrl** parents) = 0;         // 32
    virtual HRESULT Copy(const std::string& storage_dir, int32_t id) = 0;                 // 33
    virtual HRESULT PreviewBegin(int32_t id) = 0;                                         // 34
    virtual HRESULT LinkCheckBegin(int32_t id) = 0;                                       // 35
    virtual HRESULT EnumBadLinks(int32_t id, IDizozizEnumUrl** bad) = 0;                  // 36
    // A search folder's children are found by searching every grabbed page:
    // long work (above).
    virtual HRESULT NewEnumChildren(int32_t parent_id, int32_t safe,
                                    IDizozizEnumUrl** children) = 0;                      // 37
    virtual HRESULT QueueJob(int32_t id) = 0;                                             // 38
    virtual HRESULT BeginQueuedJobs(int32_t action) = 0;                                  // 39
    virtual HRESULT BeginScheduled() = 0;                                                 // 40
    virtual HRESULT ReadUrl(int32_t id, IDizozizUrl** url) = 0;                           // 41
    virtual HRESULT OpenPlus(const std::string& db_dir, const std::string& data_dir) = 0; // 42
    virtual HRESULT UseEdgeLink(const std::string& edge_file) = 0;                        // 43
    virtual HRESULT ExclusiveMode(int32_t flag) = 0;                                      // 44
    virtual HRESULT EarlyNotify(int32_t flag) = 0;                                        // 45
    virtual HRESULT PageOrder(int32_t flag) = 0;                                          // 46
    virtual HRESULT Refix() = 0;                                                          // 47
    virtual HRESULT HelpMode(int32_t flag) = 0;                                           // 48
    virtual HRESULT IndexSearch(const std::string& expression, IDizozizEnumUrl** found) = 0;  // 49
    virtual HRESULT ValidIndexSearch(const std::string& expression, std::string* message) = 0;  // 50
    // URLs of the running grab waiting for a worker; between grabs, what a
    // stopped or killed grab left for ResumeBegin: URLs to fetch and pages to
    // fix.
    virtual HRESULT WaitingUrls(int32_t* count) = 0;                                      // 51
    // Makes this engine object's grabs read `value` for the setting
    // `section`/`key` of the shared settings file (names as stored there,
    // case-insensitive), without writing the file, so one program's choice
    // for its own grabs never changes what other programs read; an empty
    // value removes the override. The preferences object keeps showing the
    // stored values. E_INVALIDARG for an empty name or one over 64 bytes.
    virtual HRESULT OverrideSetting(const std::string& section, const std::string& key,
                                    const std::string& value) = 0;  // 52
    // URLs the job of the running grab has finished, those of a stopped grab
    // it resumes included; between grabs, those of the last job, so that
    // FinishedUrls plus WaitingUrls is every URL the job has queued.
    virtual HRESULT FinishedUrls(int32_t* count) = 0;  // 53
    // The hosts whose certificate failed verification in the running grab
    // (between grabs, the last one) and whose URLs were fetched anyway,
    // because untrusted certificates were allowed: the `index`th (from 0),
    // each host once, in the order met, with why its certificate failed (a
    // kErrorCertificate* code). S_FALSE, with *host empty, past the last.
    virtual HRESULT UntrustedHost(int32_t index, std::string* host, int32_t* reason) = 0;  // 54

    // The connection point: every advised sink receives every event.
    virtual HRESULT Advise(IDizozizEvents* sink, uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
};

}  // namespace fw

// Exported entry points of libfetchwell.so (resolve them with dlsym).
extern "C" {
// Creates a Dizoziz for "Fetchwell.Dizoziz" or "Fetchwell.Dizoziz.1".
fw::HRESULT FetchwellCreateInstance(const char* prog_id, fw::IDizoziz** out);
// Reads and clears the calling thread's error information: S_OK with the
// description and source, or S_FALSE when there is none.
fw::HRESULT FetchwellGetErrorInfo(std::string* description, std::string* source);
// The engine's version text, e.g. "0.1.0".
const char* FetchwellVersion();
}

using FetchwellCreateInstanceFn = fw::HRESULT (*)(const char*, fw::IDizoziz**);
using FetchwellGetErrorInfoFn = fw::HRESULT (*)(std::string*, std::string*);
using FetchwellVersionFn = const char* (*)();
