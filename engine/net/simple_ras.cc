#include "engine/net/simple_ras.h"

#include <chrono>
#include <thread>

#include "platform/file_ops.h"
#include "platform/run_program.h"
#include "platform/text.h"

namespace fw {
namespace {

using namespace std::chrono_literals;

constexpr const char* kNmcli = "nmcli";
constexpr int kHangUpLooks = 5;
constexpr auto kHangUpPause = 750ms;
// How long a question to NetworkManager may take; a dial may take as long as
// the modem needs (nmcli gives up on its own after 90 seconds).
constexpr auto kQueryTime = 30s;
constexpr auto kDialTime = 5min;

bool IsDialUpType(std::string_view type) {
    return type == "gsm" || type == "cdma" || type == "pppoe" || type == "bluetooth";
}

// One line of nmcli's terse output: fields split at ":", with "\:" and "\\"
// standing for themselves.
std::vector<std::string> TerseFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            fields.back() += line[++i];
        } else if (line[i] == ':') {
            fields.emplace_back();
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

std::vector<std::vector<std::string>> TerseLines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines.push_back(TerseFields(line));
        start = end + 1;
    }
    return lines;
}

platform::ProgramRun Nmcli(const std::string& nmcli, std::vector<std::string> args,
                           std::chrono::milliseconds time = kQueryTime) {
    args.insert(args.begin(), nmcli);
    platform::RunLimits limits;
    limits.timeout = time;
    return platform::RunProgram(args, limits);
}

// The active connections; only the dial-up ones unless `all`.
std::vector<RasConnection> ActiveConnections(const std::string& nmcli, bool all = false) {
    std::vector<RasConnection> active;
    platform::ProgramRun run =
        Nmcli(nmcli, {"-t", "-f", "NAME,UUID,TYPE,DEVICE", "connection", "show", "--active"});
    if (run.exit_code != 0) return active;
    for (const std::vector<std::string>& f : TerseLines(run.out)) {
        if (f.size() == 4 && (all || IsDialUpType(f[2]))) active.push_back({f[1], f[0], f[2], f[3]});
    }
    return active;
}

// The first line of what nmcli said, trimmed.
std::string FirstLine(const std::string& text) {
    return platform::Trim(std::string_view(text).substr(0, text.find('\n')));
}

SimpleRAS::DialResult Classify(const std::string& message) {
    const std::string lower = platform::ToLowerAscii(message);
    if (lower.find("busy") != std::string::npos) return SimpleRAS::kLineBusy;
    for (const char* unanswered : {"no answer", "no carrier", "timed out", "timeout"}) {
        if (lower.find(unanswered) != std::string::npos) return SimpleRAS::kNoAnswer;
    }
    return SimpleRAS::kDialFailed;
}

// The password, for whichever kind of profile the entry is; the file is
// created private and removed by the caller.
std::string WritePasswordFile(const std::string& password) {
    std::string path = platform::TempFileName();
    if (path.empty()) return path;
    const std::string secret(std::string_view(password).substr(0, password.find_first_of("\r\n")));
    const std::string text = "gsm.password:" + secret + "\ncdma.password:" + secret + "\npppoe.password:" + secret + "\n";
    if (!platform::ReplaceFileContents(path, text, 0600)) {
        platform::RemoveFile(path);
        return std::string();
    }
    return path;
}

}  // namespace

bool RasInstalled() { return !platform::FindOnPath(kNmcli).empty(); }

int ActiveRasConnectionCount() {
    std::string nmcli = platform::FindOnPath(kNmcli);
    if (nmcli.empty()) return 0;
    return static_cast<int>(ActiveConnections(nmcli).size());
}

std::unique_ptr<SimpleRAS> SimpleRAS::Open() {
    std::string nmcli = platform::FindOnPath(kNmcli);
    if (nmcli.empty()) return nullptr;
    std::unique_ptr<SimpleRAS> ras(new SimpleRAS(std::move(nmcli)));
    ras->ReadEntries();
    ras->ReadConnections();
    return ras;
}

SimpleRAS::~SimpleRAS() {
    if (!own_.handle.empty()) HangUp();
}

void SimpleRAS::ReadEntries() {
    entries_.clear();
    platform::ProgramRun run = Nmcli(nmcli_, {"-t", "-f", "NAME,TYPE", "connection", "show"});
    if (run.exit_code != 0) return;
    for (const std::vector<std::string>& f : TerseLines(run.out)) entries_.push_back(f[0]);
}

void SimpleRAS::ReadConnections() { connections_ = ActiveConnections(nmcli_); }

bool SimpleRAS::IsActive(const std::string& handle) {
    for (const RasConnection& c : ActiveConnections(nmcli_, true)) {
        if (c.handle == handle) return true;
    }
    return false;
}

SimpleRAS::DialResult SimpleRAS::Dial(const std::string& entry, const std::string& /*user*/,
                                      const std::string& password, const std::string& /*domain*/) {
    own_ = RasConnection{};
    std::vector<std::string> args = {"connection", "up", "id", entry};
    const std::string password_file = password.empty() ? std::string() : WritePasswordFile(password);
    if (!password_file.empty()) args.insert(args.end(), {"passwd-file", password_file});
    platform::ProgramRun run = Nmcli(nmcli_, args, kDialTime);
    if (!password_file.empty()) platform::RemoveFile(password_file);

    ReadConnections();
    if (run.exit_code == 0) {
        // Whatever type the profile is, the connection is ours to hang up.
        for (const RasConnection& c : ActiveConnections(nmcli_, true)) {
            if (c.entry == entry) own_ = c;
        }
        return kConnected;
    }

    std::string message = FirstLine(run.err);
    if (message.empty()) message = FirstLine(run.out);
    last_error_ = message.empty() ? "Undefined RAS Dial Error (" + std::to_string(run.exit_code) + ")." : message;
    // Nothing of a failed dial may stay up.
    for (const RasConnection& c : ActiveConnections(nmcli_, true)) {
        if (c.entry == entry) HangUp(c.handle);
    }
    return Classify(message);
}

void SimpleRAS::HangUp(const std::string& handle) {
    const std::string target = handle.empty() ? own_.handle : handle;
    if (!target.empty()) {
        Nmcli(nmcli_, {"connection", "down", "uuid", target});
        for (int look = 0; look < kHangUpLooks && IsActive(target); ++look) {
            std::this_thread::sleep_for(kHangUpPause);
        }
    }
    if (handle.empty() || handle == own_.handle) own_ = RasConnection{};
    ReadConnections();
}

}  // namespace fw
