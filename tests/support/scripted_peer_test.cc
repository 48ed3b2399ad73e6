#include "tests/support/scripted_peer.h"

#include <gtest/gtest.h>

#include "tests/support/child_process.h"

namespace fwtest {
namespace {

using namespace std::chrono_literals;

TEST(ScriptedPeerTest, RunsItsScriptOnEveryConnectionAndRecords) {
    ScriptedPeer peer;
    peer.Read(3).Write("ok").ReadUntil("\r\n\r\n").Write("done");
    ASSERT_TRUE(peer.Start());
    EXPECT_EQ(RawExchange(peer.port(), "abcGET / HTTP/1.0\r\n\r\n"), "okdone");
    EXPECT_EQ(RawExchange(peer.port(), "xyz\r\n\r\n"), "okdone");
    EXPECT_EQ(peer.Received(), "abcGET / HTTP/1.0\r\n\r\nxyz\r\n\r\n");
    EXPECT_EQ(peer.Connections(), 2u);
}

TEST(ScriptedPeerTest, HoldStaysSilentUntilStopped) {
    ScriptedPeer peer;
    peer.Hold();
    ASSERT_TRUE(peer.Start());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RawExchange(peer.port(), "hello", 200ms), "");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
    peer.Stop();
}

}  // namespace
}  // namespace fwtest
