#include "app/core/grab_display.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(GrabDisplayTest, ByteSizes) {
    struct Case {
        int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0"},
        {10240, "10240"},
        {10241, "10.001KB"},
        {1048576, "1024.000KB"},
        {1048577, "1.000MB"},
        {5368709120, "5120.000MB"},
    };
    for (const auto& c : cases) EXPECT_EQ(ByteSizeText(c.bytes), c.text) << c.bytes;
}

TEST(GrabDisplayTest, FetchStates) {
    const char* words[] = {"Pending", "Lookup", "Connect", "Send",
                           "Receive", "Done",   "Error",   "Fixing"};
    for (int32_t state = 0; state < 8; ++state) EXPECT_EQ(FetchStateText(state), words[state]);
    EXPECT_EQ(FetchStateText(8), "");
    EXPECT_EQ(FetchStateText(-1), "");
}

}  // namespace
}  // namespace corvalin
