#include "engine/net/dial_up_state.h"

#include <algorithm>

#include "engine/net/simple_ras.h"
#include "engine/support/engine_preferences.h"
#include "engine/support/log.h"

namespace fw {

DialUpState::DialUpState() = default;

DialUpState::~DialUpState() { HangUpIfDialled(); }

bool DialUpState::DialIfNeeded(const EnginePreferences& prefs) {
    std::lock_guard<std::mutex> guard(mutex_);
    // Each grab decides afresh: one without dial-up must not be watched for
    // a connection an earlier grab used.
    using_ = false;
    if (!prefs.UseDialUp()) return true;
    if (!RasInstalled()) {
        LogMessage("Modem Dialing Failed: RAS Not Installed");
        return false;
    }
    if (!ras_) ras_ = SimpleRAS::Open();
    if (!ras_) {
        LogMessage("Modem Dialing Failed: RAS Not Installed");
        return false;
    }
    if (ActiveRasConnectionCount() == 0) {
        const std::string entry = prefs.DialUpEntry();
        const std::string user = prefs.DialUpUserName();
        const std::string password = prefs.DialUpPassword();
        const std::string domain = prefs.DialUpDomain();
        const int attempts = std::max(1, prefs.DialUpRetries());
        LogMessage("Dialing modem");
        SimpleRAS::DialResult result = SimpleRAS::kDialFailed;
        for (int attempt = 0; attempt < attempts; ++attempt) {
            result = ras_->Dial(entry, user, password, domain);
            if (result != SimpleRAS::kLineBusy && result != SimpleRAS::kNoAnswer) break;
        }
        if (result != SimpleRAS::kConnected) {
            LogMessage("Modem Dialing Failed: " + ras_->last_error());
            return false;
        }
        dialled_ = true;
    }
    if (ActiveRasConnectionCount() > 0) {
        using_ = true;
        LogMessage("Connected using RAS");
    }
    return true;
}

bool DialUpState::ConnectionAlive() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return !using_ || ActiveRasConnectionCount() > 0;
}

void DialUpState::HangUpIfDialled() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!dialled_ || !ras_) return;
    ras_->HangUp();
    ras_.reset();
    dialled_ = false;
}

bool DialUpState::dialled_by_engine() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return dialled_;
}

bool DialUpState::using_dial_up() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return using_;
}

}  // namespace fw
