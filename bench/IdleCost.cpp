// idle_cost: what the viewer costs while a person just watches. Runs the viewer as main() does
// (the test card when no capture device is found), lets it settle, then reports over the
// measuring time the CPU share of one core and the wake-ups a second (voluntary context
// switches) of each thread and of the whole process, the frames presented a second, and what
// the consumer did with the frames it received. It then quits the viewer.
//
//     idle_cost [settle seconds] [measuring seconds]     (5 and 20 by default)
//
// It needs a desktop display; bench/idle_cost.sh gives it a private X server.

#include "app/qvTV.h"
#include "devices/DefaultNodes.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Messenger.h"
#include "kits/interface/SdlDisplayBackend.h"
#include "kits/kernel/OS.h"
#include "video/VideoConsumer.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

struct ThreadSample {
    std::string name;
    // Clock ticks of user and system time.
    long long ticks = 0;
    long long voluntary = 0;
    long long involuntary = 0;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

long long StatusField(const std::string& status, const std::string& name)
{
    const size_t at = status.find(name + ":");
    return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + name.size() + 1);
}

// Every thread of this process but the caller, by thread id.
std::map<long, ThreadSample> SampleThreads()
{
    std::map<long, ThreadSample> samples;
    const long self = long(syscall(SYS_gettid));
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return samples;
    while (dirent* entry = readdir(tasks)) {
        const long tid = std::atol(entry->d_name);
        if (tid <= 0 || tid == self)
            continue;
        const std::string base = "/proc/self/task/" + std::string(entry->d_name);
        const std::string stat = ReadFile(base + "/stat");
        // Fields after the name in parentheses: state is field 3, utime 14, stime 15.
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        long long utime = 0;
        long long stime = 0;
        for (int index = 3; index <= 15 && fields >> field; index++) {
            if (index == 14)
                utime = std::atoll(field.c_str());
            if (index == 15)
                stime = std::atoll(field.c_str());
        }
        ThreadSample& sample = samples[tid];
        sample.name = ReadFile(base + "/comm");
        if (!sample.name.empty() && sample.name.back() == '\n')
            sample.name.pop_back();
        sample.ticks = utime + stime;
        const std::string status = ReadFile(base + "/status");
        sample.voluntary = StatusField(status, "voluntary_ctxt_switches");
        sample.involuntary = StatusField(status, "nonvoluntary_ctxt_switches");
    }
    closedir(tasks);
    return samples;
}

void Report(const std::map<long, ThreadSample>& before, const std::map<long, ThreadSample>& after,
    double seconds, const kits::interface::SdlDisplayBackend::PresentStatistics& shownBefore,
    const kits::interface::SdlDisplayBackend::PresentStatistics& shownAfter,
    const VideoConsumer::FrameCounts& framesBefore, const VideoConsumer::FrameCounts& framesAfter)
{
    const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    double totalShare = 0;
    double totalWakeUps = 0;
    double totalSwitches = 0;
    std::printf(
        "%-8s %-16s %8s %10s %12s\n", "thread", "name", "cpu %", "wake-ups/s", "preempted/s");
    for (const auto& [tid, end] : after) {
        const auto found = before.find(tid);
        if (found == before.end())
            continue;
        const ThreadSample& start = found->second;
        const double share = double(end.ticks - start.ticks) / ticksPerSecond / seconds * 100;
        const double wakeUps = double(end.voluntary - start.voluntary) / seconds;
        const double preempted = double(end.involuntary - start.involuntary) / seconds;
        totalShare += share;
        totalWakeUps += wakeUps;
        totalSwitches += preempted;
        std::printf(
            "%-8ld %-16s %8.2f %10.1f %12.1f\n", tid, end.name.c_str(), share, wakeUps, preempted);
    }
    std::printf("%-8s %-16s %8.2f %10.1f %12.1f\n", "all", "(process)", totalShare, totalWakeUps,
        totalSwitches);
    std::printf("frames presented a second: %.2f (%.0f us spent a present)\n",
        double(shownAfter.presents - shownBefore.presents) / seconds,
        shownAfter.presents > shownBefore.presents
            ? double(shownAfter.microseconds - shownBefore.microseconds)
                / double(shownAfter.presents - shownBefore.presents)
            : 0.0);
    std::printf("display thread wake-ups a second (its own count): %.1f\n",
        double(shownAfter.wakeUps - shownBefore.wakeUps) / seconds);
    std::printf("consumer frames: received %lld, drawn %lld, late %lld, skipped %lld\n",
        static_cast<long long>(framesAfter.received - framesBefore.received),
        static_cast<long long>(framesAfter.drawn - framesBefore.drawn),
        static_cast<long long>(framesAfter.late - framesBefore.late),
        static_cast<long long>(framesAfter.skipped - framesBefore.skipped));
}

}

int main(int argc, char** argv)
{
    const double settle = argc > 1 ? std::atof(argv[1]) : 5;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20;
    kits::interface::SdlDisplayBackend* display = kits::interface::SdlDisplay();
    if (display == nullptr || settle < 0 || seconds <= 0) {
        std::fprintf(stderr, "idle_cost: needs a desktop display (DISPLAY) and positive times\n");
        return 1;
    }
    (void)devices::RegisterDefaultNodes();
    qvTV application;
    std::thread measurer([&] {
        snooze(bigtime_t(settle * 1e6));
        const auto shownBefore = display->Statistics();
        const auto framesBefore = VideoConsumer::CountFrames();
        const auto before = SampleThreads();
        const bigtime_t start = system_time();
        snooze(bigtime_t(seconds * 1e6));
        const auto after = SampleThreads();
        const double elapsed = double(system_time() - start) / 1e6;
        Report(before, after, elapsed, shownBefore, display->Statistics(), framesBefore,
            VideoConsumer::CountFrames());
        be_app_messenger.SendMessage(B_QUIT_REQUESTED);
    });
    application.Run();
    measurer.join();
    return 0;
}
