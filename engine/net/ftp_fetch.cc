#include "engine/net/ftp_fetch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

#include "engine/net/low_speed.h"
#include "engine/net/sock_addr.h"
#include "engine/net/socket.h"
#include "engine/net/win_sock.h"
#include "engine/support/log.h"
#include "platform/text.h"

namespace fw {
namespace {

// Connections to the data port from elsewhere than the server that are
// turned away before the fetch gives up.
constexpr int kMaxForeignConnections = 8;
// A reply logged longer than this is cut: a peer that is not an FTP server
// may send anything.
constexpr size_t kMaxLoggedReply = 4096;

bool PeerAddress(int fd, in_addr* address) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET) {
        return false;
    }
    *address = peer.sin_addr;
    return true;
}

}  // namespace

void FtpFetch::SetTarget(std::string host, int port, std::string path) {
    host_ = std::move(host);
    port_ = port > 0 ? port : kDefaultPort;
    path_ = std::move(path);
}

void FtpFetch::SetCredentials(const std::string& user, const std::string& password) {
    if (!user.empty()) user_ = user;
    if (!password.empty()) password_ = password;
}

void FtpFetch::Run() {
    BWinSock::Instance();
    SetState(kFetchLookup);
    BSockAddr server(host_, port_);
    if (!server.valid()) return Fail();
    BSocket control;
    if (!control.valid()) return Fail();

    SetState(kFetchConnect);
    if (!control.Connect(server, stop_)) return Fail();
    Session(control);
    // A polite end, when the server is still answering.
    FtpReply reply;
    const bool answering = state() == kFetchDone || last_reply_code_ != 0;
    if (control_alive_ && answering && Command(control, "QUIT")) ReadReply(control, &reply);
}

void FtpFetch::Session(BSocket& control) {
    FtpReply reply;
    if (!ReadReply(control, &reply) || reply.code != 220) return Refused(reply);
    // A server that needs no password says so at once; that is a login too.
    if (!Step(control, "USER " + platform::WithoutLineBreaks(user_), {331, 230}, &reply))
        return Refused(reply);
    if (reply.code == 331 &&
        !Step(control, "PASS " + platform::WithoutLineBreaks(password_), {230}, &reply)) {
        return Refused(reply);
    }

    SetState(kFetchSend);
    BSocket listener;
    if (!listener.valid() || !listener.Listen()) return Fail();
    if (!OfferDataPort(control, listener) || !RequestTransfer(control)) return;
    if (!check_only_) return Transfer(control, listener);
    // A server that had begun sending first closes that transfer (4xx), then
    // answers ABOR itself; both are read so QUIT gets its own answer.
    if (Command(control, "ABOR") && ReadReply(control, &reply) && reply.code >= 400) {
        ReadReply(control, &reply);
    }
    SetState(kFetchDone);
}

bool FtpFetch::Command(BSocket& control, const std::string& line) {
    const std::string text = line + "\r\n";
    if (!control.Send(text)) {
        control_alive_ = false;
        return false;
    }
    CountSent(text.size());
    return true;
}

bool FtpFetch::ReadReply(BSocket& control, FtpReply* reply) {
    last_reply_.clear();
    char buffer[1024];
    for (;;) {
        if (std::optional<FtpReply> complete = replies_.Take()) {
            *reply = std::move(*complete);
            last_reply_ = reply->text;
            control_alive_ = true;
            return true;
        }
        if (replies_.overflowed()) break;
        size_t count = 0;
        if (!control.ReceiveWithin(buffer, sizeof buffer, &count, stop_) || count == 0) break;
        replies_.Feed(std::string_view(buffer, count));
    }
    *reply = FtpReply{0, replies_.pending()};
    last_reply_ = reply->text;
    control_alive_ = false;
    return false;
}

bool FtpFetch::Step(BSocket& control, const std::string& line, std::initializer_list<int> ok,
                    FtpReply* reply) {
    if (!Command(control, line)) {
        *reply = FtpReply{};
        return false;
    }
    ReadReply(control, reply);
    for (int code : ok) {
        if (reply->code == code) return true;
    }
    return false;
}

void FtpFetch::Refused(const FtpReply& reply) {
    last_reply_code_ = reply.code;
    std::string_view text = reply.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (!text.empty()) LogMessage(text.substr(0, kMaxLoggedReply));
    Fail();
}

bool FtpFetch::OfferDataPort(BSocket& control, BSocket& listener) {
    BSockAddr local;
    BSockAddr data;
    if (!control.GetName(&local) || !listener.GetName(&data)) {
        Fail();
        return false;
    }
    const uint32_t a = ntohl(local.network_address());
    const int port = data.port();
    const std::string command = "PORT " + std::to_string(a >> 24) + "," +
                                std::to_string((a >> 16) & 255) + "," +
                                std::to_string((a >> 8) & 255) + "," + std::to_string(a & 255) +
                                "," + std::to_string(port >> 8) + "," + std::to_string(port & 255);
    FtpReply reply;
    if (Step(control, command, {200}, &reply)) return true;
    Refused(reply);
    return false;
}

bool FtpFetch::RequestTransfer(BSocket& control) {
    FtpReply reply;
    if (!Step(control, "TYPE I", {200}, &reply)) {
        Refused(reply);
        return false;
    }
    // 125 (the connection is already open) and 150 both mean "coming".
    if (Step(control, "RETR " + platform::WithoutLineBreaks(path_), {125, 150}, &reply))
        return true;
    if (reply.code != 450 && reply.code != 550) {
        Refused(reply);
        return false;
    }
    const FtpReply retr = reply;
    if (Step(control, "LIST " + platform::WithoutLineBreaks(path_), {125, 150}, &reply)) {
        listing_ = true;
        return true;
    }
    last_reply_ = retr.text;
    Refused(retr);
    return false;
}

void FtpFetch::Transfer(BSocket& control, BSocket& listener) {
    SetState(kFetchReceive);
    int handle = -1;
    if (!AcceptFromServer(control, listener, &handle)) return Fail();
    BSocket data(handle);
    auto buffer = std::make_unique_for_overwrite<char[]>(kReadSize + 1);
    LowSpeedWatch speed;
    for (;;) {
        size_t count = 0;
        if (!data.ReceiveWithin(buffer.get(), kReadSize + 1, &count, stop_)) return Fail();
        if (count == 0) break;
        CountReceived(count);
        if (!speed.Arrived(count)) {
            LogMessage(speed.Reason());
            return Fail();
        }
        if (!WriteBody(buffer.get(), count)) {
            if (response_cap_passed()) LogMessage(CapReason());
            return Fail();
        }
    }
    // A data connection closed early looks like a complete one; only the
    // transfer's closing reply tells them apart.
    FtpReply reply;
    if (ReadReply(control, &reply) && reply.code >= 400) return Refused(reply);
    SetState(kFetchDone);
}

// The data connection must come from the server we talk to: anyone else who
// finds the port first could otherwise put their bytes into the file.
bool FtpFetch::AcceptFromServer(BSocket& control, BSocket& listener, int* handle) {
    in_addr server{};
    if (!PeerAddress(control.handle(), &server)) return false;
    for (int turned_away = 0; turned_away < kMaxForeignConnections; ++turned_away) {
        if (!listener.AcceptWithin(handle, stop_)) return false;
        in_addr peer{};
        if (PeerAddress(*handle, &peer) && peer.s_addr == server.s_addr) return true;
        BSocket foreign(*handle);
        char text[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &peer, text, sizeof text);
        LogMessage(std::string("FtpFetch ERROR: data connection from ") + text + " refused");
    }
    return false;
}

}  // namespace fw
