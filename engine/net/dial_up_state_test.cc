#include "engine/net/dial_up_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "engine/net/simple_ras.h"
#include "engine/support/engine_preferences.h"
#include "platform/file_ops.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::ReadFile;
using fwtest::WriteFile;

// Puts the fake nmcli of tests/fixtures/net first on PATH, with its state in
// a folder of the test's own.
class DialUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        saved_path_ = path ? path : "";
        ASSERT_TRUE(platform::CopyReplacing(std::string(FW_SOURCE_DIR) + "/tests/fixtures/net/nmcli",
                                            dir_ / "bin/nmcli"));
        ::chmod((dir_ / "bin/nmcli").c_str(), 0755);
        platform::CreateDirectories(dir_ / "state");
        platform::CreateDirectories(dir_ / "empty");
        UseFakeNmcli(true);
        ::setenv("FAKE_NMCLI_STATE", (dir_ / "state").c_str(), 1);
        WriteFile(dir_ / "state/entries", "Modem:gsm\nWired:802-3-ethernet\n");
        prefs_.SetUseDialUp(true);
        prefs_.SetDialUpEntry("Modem");
    }
    void TearDown() override {
        ::setenv("PATH", saved_path_.c_str(), 1);
        ::unsetenv("FAKE_NMCLI_STATE");
    }

    void UseFakeNmcli(bool installed) {
        const std::string first = installed ? dir_ / "bin" : dir_ / "empty";
        // Only the system directories after it: no real nmcli may answer.
        ::setenv("PATH", (first + ":/usr/bin:/bin").c_str(), 1);
    }

    std::string State(const std::string& name) const { return ReadFile(dir_ / ("state/" + name)); }
    // How often nmcli was asked to bring a connection up or down.
    int Calls(const std::string& prefix) const {
        int n = 0;
        std::string calls = State("calls");
        for (size_t at = calls.find(prefix); at != std::string::npos; at = calls.find(prefix, at + 1)) {
            if (at == 0 || calls[at - 1] == '\n') ++n;
        }
        return n;
    }

    fwtest::TempDir dir_;
    std::string saved_path_;
    EnginePreferences prefs_{dir_ / "corvalin.ini"};
    fwtest::LogCapture log_;
};

TEST_F(DialUpTest, WithoutUseNothingIsAskedAndTheGrabDoesNotDependOnIt) {
    prefs_.SetUseDialUp(false);
    DialUpState state;
    EXPECT_TRUE(state.DialIfNeeded(prefs_));
    EXPECT_TRUE(state.ConnectionAlive());
    EXPECT_EQ(State("calls"), "");
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(DialUpTest, WithoutNmcliTheGrabDoesNotStart) {
    UseFakeNmcli(false);
    EXPECT_FALSE(RasInstalled());
    EXPECT_EQ(SimpleRAS::Open(), nullptr);
    EXPECT_EQ(ActiveRasConnectionCount(), 0);
    DialUpState state;
    EXPECT_FALSE(state.DialIfNeeded(prefs_));
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"Modem Dialing Failed: RAS Not Installed"});
}

TEST_F(DialUpTest, AConnectionAlreadyUpIsUsedAndLeftUp) {
    WriteFile(dir_ / "state/active", "Modem:uuid-Modem:gsm:ttyUSB0\n");
    {
        DialUpState state;
        EXPECT_TRUE(state.DialIfNeeded(prefs_));
        EXPECT_FALSE(state.dialled_by_engine());
        EXPECT_TRUE(state.using_dial_up());
        EXPECT_TRUE(state.ConnectionAlive());
        state.HangUpIfDialled();
        EXPECT_EQ(log_.Lines(), std::vector<std::string>{"Connected using RAS"});
        // The grab depends on it now: losing it is noticed.
        WriteFile(dir_ / "state/active", "");
        EXPECT_FALSE(state.ConnectionAlive());
        WriteFile(dir_ / "state/active", "Modem:uuid-Modem:gsm:ttyUSB0\n");
    }
    EXPECT_EQ(Calls("connection up"), 0);
    EXPECT_EQ(Calls("connection down"), 0);
    EXPECT_EQ(State("active"), "Modem:uuid-Modem:gsm:ttyUSB0\n");
}

TEST_F(DialUpTest, DialsWithRetriesForBusyAndNoAnswerOnly) {
    struct Case {
        const char* name;
        int retries;
        std::string dials;
        bool started;
        int attempts;
        std::string failure;  // the second log line when the dial failed
    } cases[] = {
        {"busy every time", 3, "busy\nbusy\nbusy\nok\n", false, 3,
         "Modem Dialing Failed: Error: Connection activation failed: The line is busy."},
        {"busy, no answer, then through", 3, "busy\nnoanswer\nok\n", true, 3, ""},
        {"no retries means one attempt", 0, "busy\nok\n", false, 1,
         "Modem Dialing Failed: Error: Connection activation failed: The line is busy."},
        {"other errors are not retried", 3, "fail Connection activation failed: No SIM card\nok\n", false,
         1, "Modem Dialing Failed: Error: Connection activation failed: No SIM card"},
        {"a failure without a message", 2, "silent 7\nok\n", false, 1,
         "Modem Dialing Failed: Undefined RAS Dial Error (7)."},
    };
    for (const Case& c : cases) {
        WriteFile(dir_ / "state/calls", "");
        WriteFile(dir_ / "state/active", "");
        WriteFile(dir_ / "state/dials", c.dials);
        prefs_.SetDialUpRetries(c.retries);
        fwtest::LogCapture log;
        DialUpState state;
        EXPECT_EQ(state.DialIfNeeded(prefs_), c.started) << c.name;
        EXPECT_EQ(Calls("connection up id Modem"), c.attempts) << c.name;
        EXPECT_EQ(state.dialled_by_engine(), c.started) << c.name;
        std::vector<std::string> expected = {"Dialing modem", c.started ? "Connected using RAS" : c.failure};
        EXPECT_EQ(log.Lines(), expected) << c.name;
        if (c.started) {
            EXPECT_TRUE(state.ConnectionAlive()) << c.name;
            state.HangUpIfDialled();
            EXPECT_FALSE(state.dialled_by_engine()) << c.name;
            EXPECT_EQ(Calls("connection down uuid uuid-Modem"), 1) << c.name;
        }
        EXPECT_EQ(State("active"), "") << c.name;
    }
}

TEST_F(DialUpTest, AFailedDialLeavesNothingHalfOpen) {
    WriteFile(dir_ / "state/dials", "halfopen\n");
    prefs_.SetDialUpRetries(1);
    DialUpState state;
    EXPECT_FALSE(state.DialIfNeeded(prefs_));
    EXPECT_EQ(Calls("connection down uuid uuid-Modem"), 1);
    EXPECT_EQ(State("active"), "");
}

TEST_F(DialUpTest, ThePasswordTravelsInAPrivateFileThatIsRemoved) {
    WriteFile(dir_ / "state/dials", "ok\n");
    prefs_.SetDialUpPassword("s3cret");
    DialUpState state;
    ASSERT_TRUE(state.DialIfNeeded(prefs_));
    EXPECT_NE(State("password").find("gsm.password:s3cret\n"), std::string::npos);
    const std::string calls = State("calls");
    EXPECT_EQ(calls.find("s3cret"), std::string::npos);
    size_t file = calls.find("passwd-file ");
    ASSERT_NE(file, std::string::npos);
    std::string path = calls.substr(file + 12, calls.find('\n', file) - file - 12);
    EXPECT_FALSE(platform::FileExists(path));
}

TEST_F(DialUpTest, ReadsEntriesAndCountsOnlyDialUpConnections) {
    WriteFile(dir_ / "state/entries", "My\\:Modem:gsm\nWired:802-3-ethernet\nDSL\\\\2:pppoe\n");
    WriteFile(dir_ / "state/active",
              "Wired:uuid-w:802-3-ethernet:eth0\nDSL\\\\2:uuid-d:pppoe:ppp0\nPhone:uuid-p:bluetooth:hci0\n");
    std::unique_ptr<SimpleRAS> ras = SimpleRAS::Open();
    ASSERT_NE(ras, nullptr);
    EXPECT_EQ(ras->entries(), (std::vector<std::string>{"My:Modem", "Wired", "DSL\\2"}));
    ASSERT_EQ(ras->connections().size(), 2u);
    EXPECT_EQ(ras->connections()[0].entry, "DSL\\2");
    EXPECT_EQ(ras->connections()[0].handle, "uuid-d");
    EXPECT_EQ(ras->connections()[0].device_type, "pppoe");
    EXPECT_EQ(ras->connections()[0].device_name, "ppp0");
    EXPECT_EQ(ActiveRasConnectionCount(), 2);
}

TEST_F(DialUpTest, AGrabWithoutDialUpIsNotWatchedForAnEarlierOnesConnection) {
    WriteFile(dir_ / "state/active", "Modem:uuid-Modem:gsm:ttyUSB0\n");
    DialUpState state;
    ASSERT_TRUE(state.DialIfNeeded(prefs_));
    EXPECT_TRUE(state.using_dial_up());
    prefs_.SetUseDialUp(false);
    WriteFile(dir_ / "state/active", "");
    ASSERT_TRUE(state.DialIfNeeded(prefs_));
    EXPECT_TRUE(state.ConnectionAlive());
}

}  // namespace
}  // namespace fw
