#include "app/core/engine_fixture.h"

#include <stdlib.h>

namespace corvalin {
namespace {

class PrivateHome : public ::testing::Environment {
public:
    void SetUp() override { ::setenv("CORVALIN_HOME", home_.path().c_str(), 1); }

private:
    fwtest::TempDir home_;
};

const auto* const kPrivateHome = ::testing::AddGlobalTestEnvironment(new PrivateHome);

}  // namespace
}  // namespace corvalin
