// Client registration: order of events, uniqueness, capacity, closing.
#include "hostrt/hostrt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

template <int Id>
void handler(int32_t event)
{
    g_log.push_back(std::to_string(Id) + ":" + std::to_string(event));
}

// Distinct fake module handles per test so tests do not see each other's entries.
int g_moduleA, g_moduleB, g_moduleFull;

void *initModule(void *module, std::initializer_list<HostRtEventHandler> list)
{
    std::vector<HostRtEventHandler> handlers(list);
    handlers.push_back(nullptr);
    EXPECT_EQ(InitJQZRTDll(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, handlers.data()),
              1);
    return module;
}

} // namespace

TEST(HostRtRegistration, NullOrEmptyHandlerListRegistersNothing)
{
    const int32_t before = hrt_client_count();
    EXPECT_EQ(InitJQZRTDll(&g_moduleA, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr),
              1);
    HostRtEventHandler empty[] = {nullptr};
    EXPECT_EQ(InitJQZRTDll(&g_moduleA, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, empty),
              1);
    EXPECT_EQ(hrt_client_count(), before);
    CloseJQZRTDll(&g_moduleA);
}

TEST(HostRtRegistration, EventOrderAtInitAndCloseAndStartedFlags)
{
    g_log.clear();
    initModule(&g_moduleA, {&handler<1>, &handler<2>, &handler<3>});
    EXPECT_EQ(g_log, (std::vector<std::string>{"1:0", "2:0", "3:0", "1:5", "2:5", "3:5"}));
    const int32_t n = hrt_client_count();
    ASSERT_GE(n, 3);
    for (int32_t i = n - 3; i < n; ++i)
        EXPECT_EQ(hrt_client_started(i), 1);

    // A second module's handlers live beside the first and are not disturbed.
    initModule(&g_moduleB, {&handler<9>});
    g_log.clear();
    CloseJQZRTDll(&g_moduleA);
    EXPECT_EQ(g_log, (std::vector<std::string>{"3:6", "2:6", "1:6", "3:4", "2:4", "1:4"}));
    EXPECT_EQ(hrt_client_count(), n - 3 + 1);

    g_log.clear();
    CloseJQZRTDll(&g_moduleB);
    EXPECT_EQ(g_log, (std::vector<std::string>{"9:6", "9:4"}));
    EXPECT_EQ(hrt_client_count(), n - 3);
}

TEST(HostRtRegistration, SamePairRegistersOnceAndInitAgainResendsEvents)
{
    const int32_t before = hrt_client_count();
    g_log.clear();
    initModule(&g_moduleA, {&handler<1>, &handler<1>});
    EXPECT_EQ(hrt_client_count(), before + 1);
    EXPECT_EQ(g_log, (std::vector<std::string>{"1:0", "1:5"}));
    // The same handler under another module is a different pair.
    initModule(&g_moduleB, {&handler<1>});
    EXPECT_EQ(hrt_client_count(), before + 2);
    CloseJQZRTDll(&g_moduleA);
    CloseJQZRTDll(&g_moduleB);
    EXPECT_EQ(hrt_client_count(), before);
}

TEST(HostRtRegistration, FullTableLeavesFurtherHandlersOut)
{
    const int32_t before = hrt_client_count();
    // 40 distinct handlers: only the free slots of the 32-entry table are taken.
    std::vector<HostRtEventHandler> list = {
        &handler<100>, &handler<101>, &handler<102>, &handler<103>, &handler<104>, &handler<105>,
        &handler<106>, &handler<107>, &handler<108>, &handler<109>, &handler<110>, &handler<111>,
        &handler<112>, &handler<113>, &handler<114>, &handler<115>, &handler<116>, &handler<117>,
        &handler<118>, &handler<119>, &handler<120>, &handler<121>, &handler<122>, &handler<123>,
        &handler<124>, &handler<125>, &handler<126>, &handler<127>, &handler<128>, &handler<129>,
        &handler<130>, &handler<131>, &handler<132>, &handler<133>, &handler<134>, &handler<135>,
        &handler<136>, &handler<137>, &handler<138>, &handler<139>, nullptr};
    g_log.clear();
    EXPECT_EQ(InitJQZRTDll(&g_moduleFull, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr, list.data()),
              1);
    EXPECT_EQ(hrt_client_count(), HOSTRT_MAX_CLIENTS);
    const auto registered = static_cast<std::size_t>(HOSTRT_MAX_CLIENTS - before);
    EXPECT_EQ(g_log.size(), 2 * registered); // event 0 and 5 each
    EXPECT_EQ(g_log.front(), "100:0");
    CloseJQZRTDll(&g_moduleFull);
    EXPECT_EQ(hrt_client_count(), before);
    EXPECT_EQ(hrt_client_started(before), -1);
}

TEST(HostRtRegistration, IdentityQueries)
{
    EXPECT_EQ(UsingHostRtDll(), 1);
    EXPECT_EQ(__IsRTEStillLoaded(), 1);
    EXPECT_EQ(hrt_is_detached(), 0);
}

TEST(HostRtRegistrationDeathTest, AbnormalExitEndsProcessWithCode)
{
    EXPECT_EXIT(JQZRTDllAbnormalExit(42), ::testing::ExitedWithCode(42), "");
}
