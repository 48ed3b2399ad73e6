// One file, or the listing of one directory, from an FTP server in active
// mode, streamed into the sink. Never through a proxy.
//
// The exchange: the greeting (220); USER (331, or 230 when the server needs
// no password) and PASS (230); PORT with the control connection's local
// address and a listening port (200); TYPE I (200); RETR path (125 or 150),
// and when that is refused with 450 or 550, LIST path (125 or 150, and
// listing() is set). In check-only mode ABOR follows instead of a transfer.
// Otherwise the server's data connection is accepted (only from the server's
// own address), read to its end, and the transfer's closing reply read; then
// QUIT. The path goes out as given.
//
// States: Pending -> Lookup -> Connect (connection and login) -> Send (data
// port and transfer request) -> Receive -> Done, or Error with failed_at().
// Check-only goes from Send to Done. A step the server refuses stores its
// code in last_reply_code() and writes its reply text to the engine log as
// one line (for a refused LIST, the RETR reply it replaced); a server that
// sends nothing, or closes, gives code 0. The caller records 450 and 550 as
// 404 and any other code as 1000 plus the code.
//
// Every wait (connect, replies, the data connection, data) ends when the stop
// event is set and after SocketSilenceLimit() without a byte.
#pragma once

#include <cstdint>
#include <string>

#include "engine/net/ftp_reply.h"
#include "engine/net/url_fetch.h"

namespace platform {
class StopEvent;
}

namespace fw {

class BSocket;

class FtpFetch : public UrlFetch {
public:
    static constexpr int kDefaultPort = 21;
    static constexpr size_t kReadSize = 64 * 1024;

    // User "anonymous", password "netuser@", state Pending.
    explicit FtpFetch(FetchSink* sink) : UrlFetch(sink) {}

    // `port` is the URL's; 0 or below means 21. `path` is the URL's path.
    void SetTarget(std::string host, int port, std::string path);
    // Each part replaces its default only when it is not empty.
    void SetCredentials(const std::string& user, const std::string& password);
    // Verify that the server accepts the transfer, then abort it.
    void set_check_only(bool check_only) { check_only_ = check_only; }
    // The grab's stop event; null for none. Not owned; REQUIRES: outlives Run.
    void set_stop_event(const platform::StopEvent* stop) { stop_ = stop; }

    void Run() override;

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& path() const { return path_; }
    const std::string& user() const { return user_; }
    bool check_only() const { return check_only_; }
    // True when the path was fetched as a directory listing.
    bool listing() const { return listing_; }
    // The code of the reply that made a step fail (0: none, or no reply).
    int32_t last_reply_code() const { return last_reply_code_; }
    // The complete text of the server's last reply.
    const std::string& last_reply() const { return last_reply_; }

private:
    // Greeting, login, data port, transfer request and transfer.
    void Session(BSocket& control);
    bool Command(BSocket& control, const std::string& line);
    bool ReadReply(BSocket& control, FtpReply* reply);
    // Sends `line` and reads the reply; true when its code is one of `ok`.
    bool Step(BSocket& control, const std::string& line, std::initializer_list<int> ok, FtpReply* reply);
    void Refused(const FtpReply& reply);
    bool OfferDataPort(BSocket& control, BSocket& listener);
    bool RequestTransfer(BSocket& control);
    void Transfer(BSocket& control, BSocket& listener);
    bool AcceptFromServer(BSocket& control, BSocket& listener, int* handle);

    std::string last_reply_;
    std::string host_;
    int port_ = kDefaultPort;
    std::string path_;
    std::string user_ = "anonymous";
    std::string password_ = "netuser@";
    bool check_only_ = false;
    bool listing_ = false;
    int32_t last_reply_code_ = 0;
    const platform::StopEvent* stop_ = nullptr;
    FtpReplyReader replies_;
    bool control_alive_ = false;  // the last exchange on the control connection worked
};

}  // namespace fw
