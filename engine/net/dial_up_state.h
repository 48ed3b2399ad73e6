// The engine's dial-up steps around a grab, with the little state they keep
// between them: the dialler, whether the engine dialled the connection
// itself, and whether the running grab depends on a dial-up connection.
//
//   DialIfNeeded       before a grab, resume or queued job starts
//   ConnectionAlive    from the grab thread when a host could not be reached
//   HangUpIfDialled    when the grab's main thread ends
//
// The three never overlap in the engine; they are also safe to call from
// different threads. Log lines: "Dialing modem", "Modem Dialing Failed: RAS
// Not Installed", "Modem Dialing Failed: " and the dialler's reason,
// "Connected using RAS".
#pragma once

#include <memory>
#include <mutex>

namespace fw {

class EnginePreferences;
class SimpleRAS;

class DialUpState {
public:
    DialUpState();
    // Hangs up a connection the engine dialled.
    ~DialUpState();
    DialUpState(const DialUpState&) = delete;
    DialUpState& operator=(const DialUpState&) = delete;

    // With "DialUp" "Use" off: true. Otherwise makes sure a dial-up
    // connection is up: an active one is used as it is; else "Entry" is
    // dialled, again while the line is busy or nobody answers, up to
    // "Retries" attempts in all (at least one). False when dial-up is not
    // installed or dialling failed: the start does not go ahead.
    bool DialIfNeeded(const EnginePreferences& prefs);

    // True unless the grab depends on dial-up and no dial-up connection is
    // active any more.
    bool ConnectionAlive() const;

    // Hangs up the connection if the engine dialled it; one that was up
    // before is never touched.
    void HangUpIfDialled();

    bool dialled_by_engine() const;
    bool using_dial_up() const;

private:
    mutable std::mutex mutex_;  // guards everything below
    std::unique_ptr<SimpleRAS> ras_;
    bool dialled_ = false;
    bool using_ = false;
};

}  // namespace fw
