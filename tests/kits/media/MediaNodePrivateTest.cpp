#include "kits/media/MediaNodePrivate.h"

#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

using kits::media::NodePort;
using test_support::Await;

constexpr bigtime_t HOUR = 3600000000LL;

// A port served by a thread of its own, as a node's control thread serves it, whose own
// deadline lies an hour ahead; it records which requests ran, and when.
class NodePortTest : public testing::Test {
protected:
    NodePortTest()
        : server([this] { Serve(); })
    {
        Await([&] { return tid != 0; });
    }

    ~NodePortTest() override
    {
        port.Close();
        server.join();
    }

    // Whether the serving thread sleeps (in poll: nothing else can block it here).
    bool Asleep() const
    {
        std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t end = line.rfind(") ");
        return end != std::string::npos && line.compare(end + 2, 1, "S") == 0;
    }

    std::function<void()> Record(int32 tag)
    {
        return [this, tag] {
            std::lock_guard guard(lock);
            ran.push_back({tag, system_time()});
        };
    }

    struct Run {
        int32 tag;
        bigtime_t when;
    };

    std::vector<Run> Ran()
    {
        std::lock_guard guard(lock);
        return ran;
    }

    NodePort port{kits::media::NewPortId()};
    std::atomic<int32> idles{0};

private:
    void Serve()
    {
        port.StartServing(find_thread(nullptr));
        tid = pid_t(syscall(SYS_gettid));
        const bigtime_t deadline = system_time() + HOUR;
        for (;;) {
            std::function<void()> work;
            const NodePort::NextResult result = port.Next(deadline, work);
            if (result == NodePort::NextResult::Closed)
                return;
            if (result == NodePort::NextResult::Request)
                work();
            else
                idles++;
        }
    }

    std::atomic<pid_t> tid{0};
    std::mutex lock;
    // Guarded by lock.
    std::vector<Run> ran;
    std::thread server;
};

TEST_F(NodePortTest, ADeferredRequestWakesTheSleepingServerOnlyAtItsTime)
{
    ASSERT_TRUE(Await([&] { return Asleep(); }));
    const bigtime_t notBefore = system_time() + 20000;
    port.Post(Record(1), nullptr, notBefore);
    ASSERT_TRUE(Await([&] { return Ran().size() == 1; }));
    EXPECT_GE(Ran()[0].when, notBefore);
    // Posting did not wake the server, and its deadline an hour ahead did not keep it asleep.
    EXPECT_EQ(port.WakeUps(), 1u);
    EXPECT_EQ(idles.load(), 0);
}

TEST_F(NodePortTest, AnImmediateCallBehindADeferredRequestRunsBothInOrder)
{
    port.Post(Record(1), nullptr, system_time() + HOUR);
    const std::function<void()> second = Record(2);
    const auto call = [&] {
        second();
        return B_OK;
    };
    EXPECT_EQ(port.Call(call, test_support::AWAIT_TIMEOUT), B_OK);
    const std::vector<Run> runs = Ran();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].tag, 1);
}

TEST_F(NodePortTest, WakeMakesDeferredRequestsDueAndCloseDropsThem)
{
    port.Post(Record(1), nullptr, system_time() + HOUR);
    port.Wake();
    ASSERT_TRUE(Await([&] { return Ran().size() == 1; }));

    bool dropped = false;
    const auto drop = [&] { dropped = true; };
    port.Post(Record(2), drop, system_time() + HOUR);
    port.Close();
    EXPECT_TRUE(dropped);
    EXPECT_EQ(Ran().size(), 1u);
}

} // namespace
