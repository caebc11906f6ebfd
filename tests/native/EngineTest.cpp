#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/Engine.h"
#include "tests/support/LogCapture.h"

using namespace Vorn;

namespace {

std::vector<std::string> calls;
EngineLifecycle* current = nullptr;

int First() { calls.push_back("first"); return 0; }
int Second() { calls.push_back("second"); return 0; }
int Failing() { calls.push_back("failing"); return 1; }
int Late() { calls.push_back("late"); return 0; }
int AddsLate()
{
    calls.push_back("adds");
    current->AddInitializer(&Late);
    return 0;
}

class EngineLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        current = &lifecycle;
    }
    EngineLifecycle lifecycle;
    LogCapture log;
};

} // namespace

TEST_F(EngineLifecycleTest, EmptyListsSucceedWithTheirLogLines)
{
    EXPECT_EQ(lifecycle.Initialize(), 0);
    EXPECT_EQ(lifecycle.Shutdown(), 0);
    const std::vector<std::string> expected = {
        "INFO. Инициализация движка v.0.1.2:",
        "INFO. Инициализация движка завершилась удачно.",
        "INFO. Постинициализация движка:",
        "INFO. Постинициализация движка завершилась удачно.",
        "INFO. Завершение работы движка:",
        "INFO. Завершение работы движка завершилось удачно.",
    };
    EXPECT_EQ(log.Lines(), expected);
}

TEST_F(EngineLifecycleTest, FunctionAddedDuringThePassRunsInIt)
{
    lifecycle.AddInitializer(&AddsLate);
    lifecycle.AddInitializer(&First);
    lifecycle.AddPostInitializer(&Second);
    EXPECT_EQ(lifecycle.Initialize(), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{ "adds", "first", "late", "second" }));
}

TEST_F(EngineLifecycleTest, FailureStopsThePassAndKeepsEarlierEffects)
{
    lifecycle.AddInitializer(&First);
    lifecycle.AddInitializer(&Failing);
    lifecycle.AddInitializer(&Second);
    lifecycle.AddPostInitializer(&Late);
    EXPECT_EQ(lifecycle.Initialize(), 1);
    EXPECT_EQ(calls, (std::vector<std::string>{ "first", "failing" }));
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{ "INFO. Инициализация движка v.0.1.2:",
                                                      "ERROR. Инициализация движка неудачно." }));

    calls.clear();
    log.Clear();
    lifecycle.AddPostInitializer(&Failing);
    lifecycle.Release();
    lifecycle.AddPostInitializer(&Failing);
    EXPECT_EQ(lifecycle.Initialize(), 1);
    EXPECT_EQ(log.Lines().back(), "ERROR. Постинициализация движка неудачна.");
}

TEST_F(EngineLifecycleTest, TerminatorsRunFirstRegisteredFirst)
{
    lifecycle.AddTerminator(&First);
    lifecycle.AddTerminator(&Second);
    lifecycle.AddTerminator(&Failing);
    lifecycle.AddTerminator(&Late);
    EXPECT_EQ(lifecycle.Shutdown(), 1);
    EXPECT_EQ(calls, (std::vector<std::string>{ "first", "second", "failing" }));
    EXPECT_EQ(log.Lines().back(), "ERROR. Завершение работы движка неудачно.");
}

TEST(Engine, VersionAndRegistrationOnce)
{
    const EngineVersion version = Engine::GetVersion();
    EXPECT_EQ(version.major, 0);
    EXPECT_EQ(version.minor, 1);
    EXPECT_EQ(version.build, 2);

    // The second call must not register again; that the first one did shows in the
    // factory, which every class of this binary reaches through the same pattern.
    bool registered = false;
    EXPECT_TRUE(RegisterOnce(registered, &First, &Second));
    EXPECT_TRUE(registered);
    EXPECT_TRUE(RegisterOnce(registered, &Failing, &Failing));
}
