// For the tests of this folder that need an engine: the built library,
// loaded as the programs load it, with one project directory per test. The
// test binary's program home is a private temporary folder (engine_fixture.cc)
// so the engine's settings and log never touch the user's.
#pragma once

#include <gtest/gtest.h>

#include "app/core/engine_loader.h"
#include "tests/support/temp_dir.h"

namespace corvalin {

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loader_.Load()) << loader_.error();
        ASSERT_EQ(loader_.CreateInstance(engine_.Receive()), fw::S_OK);
    }
    void TearDown() override {
        int32_t open = 0;
        if (engine_ && engine_->IsOpen(&open) == fw::S_OK && open) engine_->Close();
    }

    // Opens the fixture's own data directory (tables and content together).
    void OpenScratchProject() { ASSERT_EQ(engine_->OpenPlus(dir_ / "", dir_ / "src/"), fw::S_OK); }

    fwtest::TempDir dir_;
    EngineLoader loader_;
    fw::ComPtr<fw::IDizoziz> engine_;
};

}  // namespace corvalin
