#include "app/core/grab_limits.h"

#include <gtest/gtest.h>

#include "app/core/engine_fixture.h"

namespace corvalin {
namespace {

class GrabLimitsTest : public EngineFixture {
  protected:
    std::pair<int32_t, int32_t> Limits() {
        fw::ComPtr<fw::IDizozizPrefs> prefs;
        EXPECT_EQ(engine_->Preferences(prefs.Receive()), fw::S_OK);
        int32_t threads = 0, per_server = 0;
        prefs->get_MaxThreads(&threads);
        prefs->get_MaxThreadsPerServer(&per_server);
        return {threads, per_server};
    }
    void SetLimits(int32_t threads, int32_t per_server) {
        fw::ComPtr<fw::IDizozizPrefs> prefs;
        ASSERT_EQ(engine_->Preferences(prefs.Receive()), fw::S_OK);
        prefs->put_MaxThreads(threads);
        prefs->put_MaxThreadsPerServer(per_server);
    }
};

// The limits of one grab never reach the user's preferences, whatever is
// given: nothing would put them back after a crash.
TEST_F(GrabLimitsTest, NeverWrittenToThePreferences) {
    SetLimits(7, 3);
    struct Case {
        std::optional<int32_t> threads;
        std::optional<int32_t> per_server;
    } cases[] = {
        {std::nullopt, std::nullopt},
        {12, std::nullopt},
        {std::nullopt, 1},
        {20, 5},
    };
    for (const auto& c : cases) {
        ApplyGrabLimits(engine_.get(), c.threads, c.per_server);
        EXPECT_EQ(Limits(), std::make_pair(7, 3));
    }
    AllowUntrustedCertificates(engine_.get());
    fw::ComPtr<fw::IDizozizPrefs> prefs;
    ASSERT_EQ(engine_->Preferences(prefs.Receive()), fw::S_OK);
    int32_t allowed = -1;
    prefs->get_AllowUntrustedCertificates(&allowed);
    EXPECT_EQ(allowed, 0);
}

}  // namespace
}  // namespace corvalin
