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

TEST_F(GrabLimitsTest, SetForTheGrabAndPutBackAfterIt) {
    SetLimits(7, 3);
    struct Case {
        std::optional<int32_t> threads;
        std::optional<int32_t> per_server;
        std::pair<int32_t, int32_t> during;
    } cases[] = {
        {std::nullopt, std::nullopt, {7, 3}},
        {12, std::nullopt, {12, 3}},
        {std::nullopt, 1, {7, 1}},
        {20, 5, {20, 5}},
    };
    for (const auto& c : cases) {
        {
            GrabLimits limits(engine_.get(), c.threads, c.per_server);
            EXPECT_EQ(Limits(), c.during);
        }
        EXPECT_EQ(Limits(), std::make_pair(7, 3));
    }
}

TEST_F(GrabLimitsTest, RestoreEarlyPutsBackOnce) {
    SetLimits(7, 3);
    GrabLimits limits(engine_.get(), 12, 5);
    limits.Restore();
    EXPECT_EQ(Limits(), std::make_pair(7, 3));
    // The user changes the setting after the grab; the destructor must not
    // overwrite it with the values it saved.
    SetLimits(9, 2);
    limits.Restore();
    EXPECT_EQ(Limits(), std::make_pair(9, 2));
}

}  // namespace
}  // namespace corvalin
