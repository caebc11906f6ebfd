// Starts the engine once for the whole test program, as the host does, so that every
// registered class is in the factory.
#include <gtest/gtest.h>

#include "engine/core/Engine.h"

namespace {

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(Vorn::Engine::Initialize(), 0); }
    void TearDown() override { EXPECT_EQ(Vorn::Engine::Shutdown(), 0); }
};

[[maybe_unused]] ::testing::Environment* const engineEnvironment =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

} // namespace
