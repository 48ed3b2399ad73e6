// Dial-up connections through NetworkManager's command-line client, nmcli,
// looked up on PATH each time it is needed: dial-up counts as installed
// exactly when nmcli is there. Phone-book entries are NetworkManager's
// connection profiles; the active dial-up connections are the active ones of
// the types gsm, cdma, pppoe and bluetooth, each known by its UUID.
//
// What nmcli is asked:
//   nmcli -t -f NAME,TYPE connection show                       entries
//   nmcli -t -f NAME,UUID,TYPE,DEVICE connection show --active  connections
//   nmcli connection up id ENTRY [passwd-file FILE]             dial
//   nmcli connection down uuid UUID                             hang up
// A dial's password goes in a file only this user can read (deleted after
// the dial), never on a command line. User name and domain belong to the
// NetworkManager profile and are not passed.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace fw {

struct RasConnection {
    std::string handle;  // the connection's UUID
    std::string entry;   // its profile name
    std::string device_type;
    std::string device_name;
};

// True when nmcli is on PATH.
bool RasInstalled();

// Active dial-up connections; 0 when nmcli is missing or fails.
int ActiveRasConnectionCount();

class SimpleRAS {
public:
    enum DialResult { kDialFailed = 0, kConnected = 1, kLineBusy = 2, kNoAnswer = 3 };

    // Null when dial-up is not installed; otherwise reads the entries and the
    // active connections.
    static std::unique_ptr<SimpleRAS> Open();

    // Hangs up the connection this object dialled, if any.
    ~SimpleRAS();
    SimpleRAS(const SimpleRAS&) = delete;
    SimpleRAS& operator=(const SimpleRAS&) = delete;

    // Dials `entry` and waits for the outcome. On failure last_error() says
    // why (nmcli's message, or "Undefined RAS Dial Error (<exit code>)."), and
    // a connection of that entry left half open is hung up. Busy and no
    // answer are told apart from nmcli's reason text.
    DialResult Dial(const std::string& entry, const std::string& user, const std::string& password,
                    const std::string& domain);

    // Hangs up `handle` (the own connection when empty), waits until it is
    // gone (up to 5 looks, 750 ms apart) and reads the connections again.
    void HangUp(const std::string& handle = std::string());

    const std::vector<std::string>& entries() const { return entries_; }
    const std::vector<RasConnection>& connections() const { return connections_; }
    const std::string& last_error() const { return last_error_; }
    // The connection this object dialled (empty handle when none).
    const RasConnection& own() const { return own_; }

private:
    explicit SimpleRAS(std::string nmcli) : nmcli_(std::move(nmcli)) {}
    void ReadEntries();
    void ReadConnections();
    bool IsActive(const std::string& handle);

    std::string nmcli_;
    std::vector<std::string> entries_;
    std::vector<RasConnection> connections_;
    std::string last_error_;
    RasConnection own_;
};

}  // namespace fw
