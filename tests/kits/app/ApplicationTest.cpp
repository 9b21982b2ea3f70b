#include "kits/app/Application.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "tests/kits/app/RecordingLooper.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr uint32 MSG_EARLY = FourCC("erly");
constexpr const char* SIGNATURE = "application/x-vnd.Quarnet.Ovelin";

// Everything here is touched on the application thread, which is the test's.
class TestApplication : public BApplication {
public:
    TestApplication()
        :
        BApplication(SIGNATURE)
    {
    }

    void ReadyToRun() override
    {
        events.push_back(B_READY_TO_RUN);
        readyThread = find_thread(nullptr);
        if (onReady)
            onReady(*this);
    }

    void MessageReceived(BMessage* message) override { events.push_back(message->what); }

    bool QuitRequested() override
    {
        events.push_back(B_QUIT_REQUESTED);
        return quitRequestsToRefuse-- <= 0;
    }

    void AboutRequested() override { events.push_back(B_ABOUT_REQUESTED); }

    void Pulse() override
    {
        pulseTimes.push_back(system_time());
        pulseThreads.push_back(find_thread(nullptr));
        if (onPulse)
            onPulse(*this);
    }

    std::vector<uint32> events;
    thread_id readyThread = -1;
    int32 quitRequestsToRefuse = 0;
    std::vector<bigtime_t> pulseTimes;
    std::vector<thread_id> pulseThreads;
    std::function<void(TestApplication&)> onReady;
    std::function<void(TestApplication&)> onPulse;
};

} // namespace

TEST(ApplicationTest, ReadyToRunComesFirstAndOnlyAnAcceptedQuitRequestEndsRun)
{
    std::thread other;
    {
        TestApplication app;
        EXPECT_EQ(be_app, &app);
        EXPECT_STREQ(app.Signature(), SIGNATURE);
        EXPECT_TRUE(be_app_messenger.IsValid());
        app.PostMessage(MSG_EARLY);
        app.quitRequestsToRefuse = 1;
        app.onReady = [&](TestApplication& self) {
            self.PostMessage(B_ABOUT_REQUESTED);
            self.PostMessage(B_QUIT_REQUESTED);
            other = std::thread([] { be_app_messenger.SendMessage(B_QUIT_REQUESTED); });
        };
        EXPECT_EQ(app.Run(), find_thread(nullptr));
        other.join();
        EXPECT_EQ(app.Thread(), find_thread(nullptr));
        EXPECT_EQ(app.readyThread, find_thread(nullptr));
        EXPECT_EQ(app.events, (std::vector<uint32>{B_READY_TO_RUN, MSG_EARLY, B_ABOUT_REQUESTED,
            B_QUIT_REQUESTED, B_QUIT_REQUESTED}));
        EXPECT_EQ(app.Run(), B_ALREADY_RUNNING);
    }
    EXPECT_EQ(be_app, nullptr);
    EXPECT_FALSE(be_app_messenger.IsValid());
}

TEST(ApplicationTest, PulseTicksAtTheSetRateOnlyOnceItIsSet)
{
    constexpr bigtime_t RATE = 20000;
    constexpr size_t PULSES = 5;
    TestApplication app;
    EXPECT_EQ(app.PulseRate(), 0);
    bigtime_t rateSetAt = 0;
    app.onReady = [&](TestApplication& self) {
        rateSetAt = system_time();
        self.SetPulseRate(RATE);
    };
    app.onPulse = [&](TestApplication& self) {
        if (self.pulseTimes.size() < PULSES)
            return;
        // A rate of 0 stops the pulse: none may follow the quit request.
        self.SetPulseRate(0);
        self.PostMessage(B_QUIT_REQUESTED);
    };
    app.Run();

    ASSERT_EQ(app.pulseTimes.size(), PULSES);
    EXPECT_EQ(app.PulseRate(), 0);
    for (size_t index = 0; index < PULSES; index++) {
        EXPECT_EQ(app.pulseThreads[index], find_thread(nullptr));
        // The n-th pulse is due n intervals after the rate was set, never earlier.
        EXPECT_GE(app.pulseTimes[index], rateSetAt + bigtime_t(index + 1) * RATE);
    }
    bigtime_t meanInterval = (app.pulseTimes.back() - app.pulseTimes.front())
        / bigtime_t(PULSES - 1);
    // Generous: a loaded test machine may wake the loop late.
    EXPECT_LE(meanInterval, RATE * 5);
}

TEST(ApplicationTest, DestructorQuitsTheLoopersStillAlive)
{
    recording::Journal running;
    recording::Journal idle;
    thread_id runningThread = -1;
    {
        TestApplication app;
        runningThread = (new recording::TestLooper(running))->Run();
        new recording::TestLooper(idle);
        app.onReady = [](TestApplication& self) { self.PostMessage(B_QUIT_REQUESTED); };
        app.Run();
        EXPECT_FALSE(running.destroyed);
        EXPECT_FALSE(idle.destroyed);
    }
    EXPECT_TRUE(running.destroyed);
    EXPECT_TRUE(idle.destroyed);
    EXPECT_EQ(running.destroyedOn, find_thread(nullptr));
    EXPECT_EQ(wait_for_thread(runningThread, nullptr), B_BAD_THREAD_ID);
}

TEST(ApplicationTest, QuitBeforeRunMakesRunReturnAtOnce)
{
    TestApplication app;
    app.Quit();
    app.Run();
    EXPECT_TRUE(app.events.empty());
}
