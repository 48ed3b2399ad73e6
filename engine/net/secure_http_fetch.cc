#include "engine/net/secure_http_fetch.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "engine/net/cookie_jar.h"
#include "engine/net/http_date.h"
#include "engine/net/internet_library.h"
#include "engine/net/low_speed.h"
#include "engine/net/proxy_settings.h"
#include "engine/net/socket.h"
#include "engine/net/untrusted_hosts.h"
#include "engine/net/win_sock.h"
#include "engine/support/log.h"
#include "platform/base64.h"
#include "platform/event.h"
#include "platform/text.h"

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;

// Large reads keep a big body fast; what reaches the sink does not depend on it.
constexpr long kReadSize = 128 * 1024;

std::mutex ca_file_mutex;
std::string& CaFileDefault() {
    static std::string path;
    return path;
}

struct EasyFree {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ListFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using EasyHandle = std::unique_ptr<CURL, EasyFree>;
using HeaderList = std::unique_ptr<curl_slist, ListFree>;

// Multi handles outlive their fetches: curl keeps the parsed authority file
// and the name cache in the multi handle, and parsing the system's bundle
// anew costs tens of milliseconds of processor time per fetch. A fetch has
// one to itself while it runs.
class MultiPool {
public:
    static MultiPool& Instance() {
        static MultiPool pool;
        return pool;
    }
    CURLM* Take() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (!free_.empty()) {
                CURLM* multi = free_.back();
                free_.pop_back();
                return multi;
            }
        }
        return curl_multi_init();
    }
    void Give(CURLM* multi) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (free_.size() < kMaxFree) {
                free_.push_back(multi);
                return;
            }
        }
        curl_multi_cleanup(multi);
    }

private:
    static constexpr size_t kMaxFree = 64;
    MultiPool() = default;
    ~MultiPool() {
        for (CURLM* multi : free_) curl_multi_cleanup(multi);
    }
    std::mutex mutex_;  // guards free_
    std::vector<CURLM*> free_;
};

// A multi handle taken from the pool for one fetch.
class PooledMulti {
public:
    PooledMulti() : multi_(MultiPool::Instance().Take()) {}
    ~PooledMulti() {
        if (multi_ != nullptr) MultiPool::Instance().Give(multi_);
    }
    PooledMulti(const PooledMulti&) = delete;
    PooledMulti& operator=(const PooledMulti&) = delete;
    CURLM* get() const { return multi_; }
    explicit operator bool() const { return multi_ != nullptr; }

private:
    CURLM* multi_;
};

// curl takes URLs as RFC 3986 text: bytes that cannot stand in one are sent
// percent-encoded, as browsers send them.
std::string UrlText(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7f || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
            c == '`' || c == '{' || c == '|' || c == '}') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string HostOf(std::string_view url) {
    size_t start = url.find("://");
    start = start == std::string_view::npos ? 0 : start + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string_view host =
        url.substr(start, end == std::string_view::npos ? url.npos : end - start);
    if (size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    if (!host.empty() && host.front() == '[') {
        size_t close = host.find(']');
        return std::string(host.substr(1, close == std::string_view::npos ? host.npos : close - 1));
    }
    return std::string(host.substr(0, host.find(':')));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// The fault of a fetch that curl ended because the server's certificate
// failed verification: a kErrorCertificate* code; 0 for any other outcome.
int32_t CertificateFault(CURLcode result, long verify) {
    if (result != CURLE_PEER_FAILED_VERIFICATION) return 0;
    switch (verify) {
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return kErrorCertificateSelfSigned;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return kErrorCertificateUnknownAuthority;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return kErrorCertificateExpired;
        // curl checks the name itself, after a chain that verified, and
        // leaves the result OK or unspecified.
        case X509_V_OK:
        case X509_V_ERR_UNSPECIFIED:
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return kErrorCertificateNameMismatch;
        default:
            return kErrorCertificateRefused;
    }
}

// curl's name for a proxy kind, or null for a kind it cannot tunnel through.
const char* ProxyScheme(int32_t protocol) {
    switch (protocol) {
        case kProxyHttp:
            return "http://";  // a CONNECT tunnel
        case kProxySocks4:
            return "socks4://";  // the target resolved here, as on the plain path
        case kProxySocks5:
            return "socks5://";
        default:
            return nullptr;
    }
}

}  // namespace

std::string SecureCaFile() {
    std::lock_guard<std::mutex> guard(ca_file_mutex);
    return CaFileDefault();
}

void SetSecureCaFile(std::string path) {
    std::lock_guard<std::mutex> guard(ca_file_mutex);
    CaFileDefault() = std::move(path);
}

// One Run's curl handles and the bookkeeping of the responses they deliver.
// Header lines collect per response; a block is handed to the consumer only
// once it is known to be the final one (its first body byte arrived, or the
// transfer ended), so followed redirects never reach it.
class SecureHttpFetch::Transfer {
public:
    explicit Transfer(SecureHttpFetch& fetch) : fetch_(fetch) {}
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    bool Open();
    void Run();
    std::exception_ptr error() const { return error_; }

private:
  // REQUIRES: the fetch's proxy, if any, has a ProxyScheme.
  void UseProxy(CURL* h);
  enum class Outcome { Finished, Stopped, TimedOut, Broken };

  Outcome Attempt(bool verify, CURLcode* result);
  void Finish(Outcome outcome, CURLcode result);
  void FailWith(const std::string& reason);
  bool Interrupted() const { return fetch_.stop_ != nullptr && fetch_.stop_->IsSet(); }
  void Progress() { last_progress_ = Clock::now(); }
  long RedirectCount() const {
      long count = 0;
      curl_easy_getinfo(easy_.get(), CURLINFO_REDIRECT_COUNT, &count);
      return count;
    }
    std::string EffectiveUrl() const {
        char* url = nullptr;
        curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &url);
        return url ? url : "";
    }
    void ForgetResponse();
    void StoreIntermediateCookie();
    bool FeedHead();

    size_t OnHeader(const char* data, size_t size);
    size_t OnBody(const char* data, size_t size);
    int OnProgress(curl_off_t uploaded);
    void OnConnected();

    static size_t HeaderThunk(char* data, size_t size, size_t count, void* self);
    static size_t BodyThunk(char* data, size_t size, size_t count, void* self);
    static int ProgressThunk(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);
    static int ConnectedThunk(void* self, char*, char*, int, int);

    SecureHttpFetch& fetch_;
    PooledMulti multi_;  // declared first: the easy handle goes before it returns to the pool
    EasyHandle easy_;
    HeaderList headers_;
    std::string url_;
    char error_text_[CURL_ERROR_SIZE] = {};

    std::string block_;            // header lines of the response now arriving
    std::string block_url_;        // the URL that response answers
    long block_redirects_ = 0;     // redirects followed when it ended
    bool block_complete_ = false;  // its blank line has arrived
    bool head_fed_ = false;        // the consumer has the final header block
    size_t hop_header_bytes_ = 0;  // header bytes of the current request
    curl_off_t uploaded_ = 0;
    Clock::time_point last_progress_;
    LowSpeedWatch speed_;
    bool too_slow_ = false;  // the low-speed rule ended the transfer
    std::exception_ptr error_;
};

bool SecureHttpFetch::Transfer::Open() {
    easy_.reset(curl_easy_init());
    if (!easy_ || !multi_) return false;
    CURL* h = easy_.get();
    url_ = fetch_.Url();
    curl_easy_setopt(h, CURLOPT_URL, url_.c_str());
    // The URL is always https; a redirect may lead to plain http, nowhere else.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(fetch_.redirect_limit()));
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    UseProxy(h);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReadSize);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_text_);
    const std::string agent = fetch_.user_agent().empty()
                                  ? kDefaultUserAgent
                                  : platform::WithoutLineBreaks(fetch_.user_agent());
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());  // curl copies option strings
    if (!fetch_.ca_file().empty()) curl_easy_setopt(h, CURLOPT_CAINFO, fetch_.ca_file().c_str());
    // curl keeps a parsed authority file for later fetches only when no
    // directory of authorities is consulted besides it; the system's bundle
    // holds what its directory holds.
    char* bundle = nullptr;
    if (!fetch_.ca_file().empty() ||
        (curl_easy_getinfo(h, CURLINFO_CAINFO, &bundle) == CURLE_OK && bundle != nullptr &&
         ::access(bundle, R_OK) == 0)) {
        curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
    }

    if (!fetch_.credentials().empty()) {
        std::string user, password;
        platform::DecodeCredentials(fetch_.credentials(), &user, &password);
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
    }

    std::vector<std::string> lines = {"Accept: */*"};
    if (fetch_.method() == HttpMethod::kPost) {
        lines.emplace_back("Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(fetch_.post_data().size()));
        curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, fetch_.post_data().c_str());
    } else {
        if (fetch_.if_modified_since() != 0) {
            lines.emplace_back("If-Modified-Since: " + HttpDate::Format(fetch_.if_modified_since()));
        }
        if (!fetch_.if_none_match().empty()) {
            lines.push_back("If-None-Match: " + platform::WithoutLineBreaks(fetch_.if_none_match()));
        }
    }
    // A Cookie header of our own goes to this host only: curl drops it when
    // a redirect leads elsewhere.
    if (fetch_.cookie_jar() != nullptr) {
        std::string cookies =
            platform::WithoutLineBreaks(fetch_.cookie_jar()->CookiesFor(fetch_.CookieUrl()));
        if (!cookies.empty()) lines.push_back("Cookie: " + cookies);
    }
    for (const std::string& line : lines) {
        curl_slist* grown = curl_slist_append(headers_.get(), line.c_str());
        if (grown == nullptr) return false;
        headers_.release();
        headers_.reset(grown);
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers_.get());

    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::HeaderThunk);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::BodyThunk);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::ProgressThunk);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Transfer::ConnectedThunk);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, this);
    return true;
}

void SecureHttpFetch::Transfer::UseProxy(CURL* h) {
    const ProxySettings* proxy = fetch_.proxy();
    // An empty text also keeps curl from taking a proxy from the environment.
    if (proxy == nullptr) {
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        return;
    }
    std::string server = UrlText(proxy->server());
    if (server.find(':') != std::string::npos) server = "[" + server + "]";
    const std::string address =
        ProxyScheme(proxy->protocol()) + server + ":" + std::to_string(proxy->port());
    curl_easy_setopt(h, CURLOPT_PROXY, address.c_str());
    curl_easy_setopt(h, CURLOPT_NOPROXY, "");  // no_proxy in the environment does not apply
    // The tunnel's own response is not the page's.
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!proxy->credentials().empty()) {
        curl_easy_setopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, proxy->user_name().c_str());
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, proxy->password().c_str());
    }
}

void SecureHttpFetch::Transfer::Run() {
    UntrustedHosts* untrusted = fetch_.untrusted_hosts_;
    // A host known to fail verification is not made to fail it again.
    const bool known = untrusted != nullptr && untrusted->Contains(HostOf(url_));
    CURLcode result = CURLE_OK;
    Outcome outcome = Attempt(!known, &result);
    int32_t fault = 0;
    if (outcome == Outcome::Finished) {
        long verify = X509_V_OK;
        curl_easy_getinfo(easy_.get(), CURLINFO_SSL_VERIFYRESULT, &verify);
        fault = CertificateFault(result, verify);
    }
    if (fault != 0 && untrusted != nullptr) {
        // The host may be one a redirect led to.
        const std::string host = HostOf(EffectiveUrl());
        if (untrusted->Remember(host, fault)) {
            LogMessage("Certificate of " + host + " not verified (" + error_text_ +
                       "); fetched anyway");
        }
        ForgetResponse();
        fetch_.SetState(kFetchConnect);
        error_text_[0] = '\0';
        outcome = Attempt(false, &result);
    } else if (fault != 0) {
        fetch_.set_failure_code(fault);
    }
    Finish(outcome, result);
}

SecureHttpFetch::Transfer::Outcome SecureHttpFetch::Transfer::Attempt(bool verify,
                                                                      CURLcode* result) {
    if (!verify) {
        // Nothing unverified may serve a later fetch: neither the connection
        // nor its TLS session is kept.
        curl_easy_setopt(easy_.get(), CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(easy_.get(), CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(easy_.get(), CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(easy_.get(), CURLOPT_SSL_SESSIONID_CACHE, 0L);
    }
    const auto silence = SocketSilenceLimit();
    const int stop_fd = fetch_.stop_ != nullptr ? fetch_.stop_->descriptor() : -1;
    curl_waitfd stop_wait{stop_fd, CURL_WAIT_POLLIN, 0};
    Progress();
    if (curl_multi_add_handle(multi_.get(), easy_.get()) != CURLM_OK) return Outcome::Broken;

    Outcome outcome = Outcome::Finished;
    for (;;) {
        if (Interrupted()) {
            outcome = Outcome::Stopped;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
            outcome = Outcome::Broken;
            break;
        }
        if (running == 0 || error_) break;
        if (!speed_.Arrived(0)) {
            too_slow_ = true;
            outcome = Outcome::Broken;
            break;
        }
        if (Interrupted()) {
            outcome = Outcome::Stopped;
            break;
        }
        auto left =
            std::chrono::ceil<std::chrono::milliseconds>(last_progress_ + silence - Clock::now());
        if (left.count() <= 0) {
            outcome = Outcome::TimedOut;
            break;
        }
        int wait = static_cast<int>(std::min<int64_t>(left.count(), 1000));
        // Without a descriptor for the stop event, look at it every millisecond.
        if (fetch_.stop_ != nullptr && stop_fd < 0) wait = 1;
        curl_multi_poll(multi_.get(), stop_fd >= 0 ? &stop_wait : nullptr, stop_fd >= 0 ? 1 : 0,
                        wait, nullptr);
    }
    *result = CURLE_OK;
    if (outcome == Outcome::Finished) {
        int queued = 0;
        CURLMsg* message = curl_multi_info_read(multi_.get(), &queued);
        if (message != nullptr && message->msg == CURLMSG_DONE) {
            *result = message->data.result;
            // The progress callback ends a transfer only for a stop: one
            // that came while curl was busy is a stop all the same.
            if (*result == CURLE_ABORTED_BY_CALLBACK) outcome = Outcome::Stopped;
        } else if (!error_) {
            outcome = Outcome::Broken;
        }
    }
    curl_multi_remove_handle(multi_.get(), easy_.get());
    return outcome;
}

void SecureHttpFetch::Transfer::Finish(Outcome outcome, CURLcode result) {
    long request_bytes = 0;
    curl_off_t upload_bytes = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_REQUEST_SIZE, &request_bytes);
    curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_UPLOAD_T, &upload_bytes);
    fetch_.CountSent(static_cast<uint64_t>(std::max<long>(request_bytes, 0)) +
                     static_cast<uint64_t>(std::max<curl_off_t>(upload_bytes, 0)));

    if (error_) return fetch_.Fail();
    if (too_slow_ || fetch_.response_cap_passed()) {
        LogMessage(too_slow_ ? speed_.Reason() : fetch_.CapReason());
        return fetch_.Fail();
    }
    if (fetch_.aborted()) return;  // rejected by a callback: the state stays
    if (fetch_.refused()) return fetch_.Fail();

    // A complete block of a response that curl then followed belongs to the
    // chain, not to the outcome; what failed is the next request.
    const long redirects = RedirectCount();
    if (block_complete_ && !head_fed_ && block_redirects_ < redirects) {
        StoreIntermediateCookie();
        block_.clear();
        block_complete_ = false;
        hop_header_bytes_ = 0;
        fetch_.SetState(kFetchConnect);
    }

    if (outcome == Outcome::Stopped) return fetch_.Fail();
    if (outcome == Outcome::Finished &&
        (result == CURLE_OK || (result == CURLE_TOO_MANY_REDIRECTS && block_complete_))) {
        if (!head_fed_ && block_complete_ && !FeedHead()) {
            if (!fetch_.aborted()) fetch_.Fail();
            return;
        }
        if (!head_fed_) return FailWith("the response ended inside its headers");
        if (result == CURLE_TOO_MANY_REDIRECTS) {
            char* next = nullptr;
            curl_easy_getinfo(easy_.get(), CURLINFO_REDIRECT_URL, &next);
            fetch_.set_redirects_followed(0);
            if (next != nullptr) fetch_.set_location(next);
        } else if (fetch_.redirects_followed() > 0) {
            fetch_.set_location(fetch_.response_url_);
        }
        return fetch_.SetState(kFetchDone);
    }

    if (result == CURLE_COULDNT_RESOLVE_HOST || result == CURLE_COULDNT_RESOLVE_PROXY) {
        fetch_.SetState(kFetchLookup);
    }
    // A proxy that refused the tunnel answered with a status of its own
    // (407 without the right credentials): that is the URL's outcome.
    long tunnel = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_HTTP_CONNECTCODE, &tunnel);
    if (tunnel >= 300 && tunnel <= 999) fetch_.set_failure_code(static_cast<int32_t>(tunnel));
    if (outcome == Outcome::TimedOut) {
        FailWith("WSAETIMEDOUT");
    } else if (outcome == Outcome::Broken) {
        FailWith("curl multi interface failed");
    } else {
        FailWith(error_text_[0] != '\0' ? std::string(error_text_) : curl_easy_strerror(result));
    }
}

// Logs why and how far the fetch got, and moves it to Error.
void SecureHttpFetch::Transfer::FailWith(const std::string& reason) {
    LogMessage("SecureHttpFetch ERROR: " + reason);
    if (hop_header_bytes_ == 0) {
        LogMessage("ERROR: HttpSendRequest");
    } else if (!block_complete_ && !head_fed_) {
        LogMessage("error getting header");
    } else {
        if (!head_fed_) FeedHead();
        LogMessage("receive error");
    }
    if (fetch_.state() != kFetchError) fetch_.Fail();
}

void SecureHttpFetch::Transfer::ForgetResponse() {
    block_.clear();
    block_url_.clear();
    block_complete_ = false;
    head_fed_ = false;
    hop_header_bytes_ = 0;
}

void SecureHttpFetch::Transfer::StoreIntermediateCookie() {
    if (fetch_.cookie_jar() == nullptr) return;
    for (const std::string& cookie : ParseResponseHead(block_).set_cookies) {
        fetch_.cookie_jar()->SetCookie(block_url_, cookie);
    }
}

bool SecureHttpFetch::Transfer::FeedHead() {
    head_fed_ = true;
    fetch_.response_url_ = block_url_;
    fetch_.set_redirects_followed(static_cast<int32_t>(block_redirects_));
    return fetch_.Consume(block_.data(), block_.size());
}

size_t SecureHttpFetch::Transfer::OnHeader(const char* data, size_t size) {
    Progress();
    fetch_.CountReceived(size);
    if (!speed_.Arrived(size)) {
        too_slow_ = true;
        return 0;
    }
    if (head_fed_) return size;  // trailers of the final response
    std::string_view line(data, size);
    if (StartsWithNoCase(line, "http/")) {
        if (block_complete_) StoreIntermediateCookie();  // a 1xx before the real answer
        block_.clear();
        block_complete_ = false;
    }
    if (block_complete_) return size;
    hop_header_bytes_ += size;
    fetch_.SetState(kFetchReceive);
    if (block_.size() + size > kMaxHeaderBytes) {
        // The consumer refuses the block and logs it.
        head_fed_ = true;
        fetch_.Consume(block_.data(), block_.size());
        fetch_.Consume(data, size);
        return 0;
    }
    block_.append(data, size);
    if (line == "\r\n" || line == "\n") {
        block_complete_ = true;
        block_url_ = EffectiveUrl();
        block_redirects_ = RedirectCount();
    }
    return size;
}

size_t SecureHttpFetch::Transfer::OnBody(const char* data, size_t size) {
    Progress();
    fetch_.CountReceived(size);
    if (!speed_.Arrived(size)) {
        too_slow_ = true;
        return 0;
    }
    if (!head_fed_ && !FeedHead()) return 0;
    return fetch_.Consume(data, size) ? size : 0;
}

int SecureHttpFetch::Transfer::OnProgress(curl_off_t uploaded) {
    if (uploaded != uploaded_) {
        uploaded_ = uploaded;
        Progress();
    }
    return Interrupted() ? 1 : 0;
}

void SecureHttpFetch::Transfer::OnConnected() {
    Progress();
    // A new request of the chain: the previous response was followed.
    if (block_complete_ && !head_fed_) {
        StoreIntermediateCookie();
        block_.clear();
        block_complete_ = false;
    }
    hop_header_bytes_ = 0;
    fetch_.SetState(kFetchSend);
}

// The callbacks run inside curl's C code, which an exception must not cross:
// it is kept, the transfer ends, and Run rethrows it.
size_t SecureHttpFetch::Transfer::HeaderThunk(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    try {
        return t->OnHeader(data, size * count);
    } catch (...) {
        t->error_ = std::current_exception();
        return 0;
    }
}

size_t SecureHttpFetch::Transfer::BodyThunk(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    try {
        return t->OnBody(data, size * count);
    } catch (...) {
        t->error_ = std::current_exception();
        return 0;
    }
}

int SecureHttpFetch::Transfer::ProgressThunk(void* self, curl_off_t, curl_off_t, curl_off_t,
                                             curl_off_t uploaded) {
    return static_cast<Transfer*>(self)->OnProgress(uploaded);
}

int SecureHttpFetch::Transfer::ConnectedThunk(void* self, char*, char*, int, int) {
    auto* t = static_cast<Transfer*>(self);
    try {
        t->OnConnected();
        return CURL_PREREQFUNC_OK;
    } catch (...) {
        t->error_ = std::current_exception();
        return CURL_PREREQFUNC_ABORT;
    }
}

// ---------------------------------------------------------------------------

SecureHttpFetch::SecureHttpFetch(FetchSink* sink) : HttpFetchBase(sink), ca_file_(SecureCaFile()) {}

SecureHttpFetch::~SecureHttpFetch() = default;

std::string SecureHttpFetch::Url() const {
    std::string name = UrlText(host());
    if (name.find(':') != std::string::npos) name = "[" + name + "]";
    std::string url = "https://" + name;
    if (EffectivePort() != kDefaultPort) url += ":" + std::to_string(EffectivePort());
    std::string target = UrlText(path());
    if (target.empty() || target.front() != '/') target.insert(0, "/");
    return url + target;
}

std::string SecureHttpFetch::CookieUrl() const {
    return response_url_.empty() ? Url() : response_url_;
}

void SecureHttpFetch::Run() {
    if (!InternetLibrary::Instance().available()) return;
    if (proxy() != nullptr && ProxyScheme(proxy()->protocol()) == nullptr) {
        LogMessage("Proxy type " + std::to_string(proxy()->protocol()) + " cannot carry HTTPS");
        return FailWithCode(kErrorProxyCannotCarry);
    }
    BWinSock::Instance();
    std::exception_ptr error;
    {
        Transfer transfer(*this);
        if (!transfer.Open()) {
            LogMessage("ERROR: InternetOpen");
            return Fail();
        }
        SetState(kFetchConnect);
        transfer.Run();
        error = transfer.error();
    }
    if (error) std::rethrow_exception(error);
}

}  // namespace fw
