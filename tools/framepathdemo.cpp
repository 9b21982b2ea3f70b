// A headless run of the frame path until the viewer exists: the test card's picture goes
// through the program's consumer node into a window, which is saved as PNG snapshots with the
// filters off, with subtitle contrast and de-interlacing on, and on a station with subtitles.
// Usage: framepathdemo [folder for the snapshots, default the current directory]

#include "devices/TestStation.h"
#include "kits/app/Application.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "video/VideoConsumer.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int32 WIDTH = 768;
constexpr int32 LINES = 576;
// How long frames flow before each snapshot.
constexpr bigtime_t PHASE = 3000000;

std::string ErrorText(status_t status)
{
    char text[32];
    std::snprintf(text, sizeof(text), "0x%08x", uint32(status));
    return text;
}

// The card's parameter whose name begins with `name`, as a discrete parameter; null if none.
BDiscreteParameter* FindDiscrete(BParameterWeb* web, const char* name)
{
    BDiscreteParameter* found = nullptr;
    for (int32 i = 0; web != nullptr && i < web->CountParameters(); i++) {
        BParameter* parameter = web->ParameterAt(i);
        if (std::strncmp(parameter->Name(), name, std::strlen(name)) == 0)
            found = dynamic_cast<BDiscreteParameter*>(parameter);
    }
    return found;
}

class FramePathDemo : public BApplication {
public:
    explicit FramePathDemo(std::string folder)
        : BApplication("application/x-vnd.Quarnet.Ovelin-framepathdemo"),
          folder(std::move(folder))
    {
    }

    int ExitCode() const { return exitCode; }

    void ReadyToRun() override
    {
        exitCode = RunDemo() == B_OK ? 0 : 1;
        Quit();
    }

private:
    status_t RunDemo()
    {
        window = new BWindow(BRect(100, 100, 100 + WIDTH - 1, 100 + LINES - 1),
            "Ovelin frame path", B_TITLED_WINDOW, B_NOT_RESIZABLE);
        view = new BView(BRect(0, 0, WIDTH - 1, LINES - 1), "TV", B_FOLLOW_ALL, 0);
        view->SetViewColor(0, 0, 0);
        window->AddChild(view);
        // Shown on the headless display: nothing appears on a screen, but the window counts as
        // visible, so the filters run.
        window->Show();

        status_t status = StartGraph();
        if (status == B_OK)
            status = Snapshot("framepath-plain.png", "filters off");
        if (status == B_OK) {
            consumer->SetSubtitleFilter(true);
            consumer->SetDeInterlaceFilter(true);
            status = Snapshot("framepath-filtered.png", "subtitle contrast and de-interlace");
        }
        if (status == B_OK)
            status = TuneToSubtitledStation();
        if (status == B_OK)
            status = Snapshot("framepath-subtitles.png", "station with subtitles, filters on");
        StopGraph();

        window->Lock();
        window->Quit();
        return status;
    }

    status_t Fail(const char* step, status_t status)
    {
        std::fprintf(stderr, "framepathdemo: %s failed: %s\n", step, ErrorText(status).c_str());
        return status;
    }

    // Connects the default video input to a new consumer and starts both, as the viewer does.
    status_t StartGraph()
    {
        status_t status = B_OK;
        roster = BMediaRoster::Roster(&status);
        if (roster == nullptr)
            return Fail("finding the media roster", status);
        if (status = roster->GetTimeSource(&timeSource); status != B_OK)
            return Fail("GetTimeSource", status);
        if (status = roster->GetVideoInput(&videoInput); status != B_OK)
            return Fail("GetVideoInput", status);
        haveVideoInput = true;

        window->Lock();
        consumer = std::make_unique<VideoConsumer>(view, nullptr, 0);
        window->Unlock();
        if (status = roster->RegisterNode(consumer.get()); status != B_OK)
            return Fail("RegisterNode", status);

        int32 count = 0;
        status = roster->GetFreeOutputsFor(videoInput, &output, 1, &count, B_MEDIA_RAW_VIDEO);
        if (status != B_OK || count < 1)
            return Fail("GetFreeOutputsFor", status != B_OK ? status : B_RESOURCE_UNAVAILABLE);
        status = roster->GetFreeInputsFor(consumer->Node(), &input, 1, &count,
            B_MEDIA_RAW_VIDEO);
        if (status != B_OK || count < 1)
            return Fail("GetFreeInputsFor", status != B_OK ? status : B_RESOURCE_UNAVAILABLE);

        media_format format;
        format.type = B_MEDIA_RAW_VIDEO;
        format.u.raw_video = media_raw_video_format::wildcard;
        format.u.raw_video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
        format.u.raw_video.pixel_width_aspect = 4;
        format.u.raw_video.pixel_height_aspect = 3;
        format.u.raw_video.display.format = B_RGB32;
        format.u.raw_video.display.line_width = WIDTH;
        format.u.raw_video.display.line_count = LINES;
        format.u.raw_video.display.bytes_per_row = WIDTH * 4;
        if (status = roster->Connect(output.source, input.destination, &format, &output, &input);
            status != B_OK) {
            return Fail("Connect", status);
        }
        connected = true;

        if (status = roster->SetTimeSourceFor(videoInput.node, timeSource.node); status != B_OK)
            return Fail("SetTimeSourceFor (video input)", status);
        if (status = roster->SetTimeSourceFor(consumer->ID(), timeSource.node); status != B_OK)
            return Fail("SetTimeSourceFor (consumer)", status);
        bigtime_t latency = 0;
        roster->GetLatencyFor(videoInput, &latency);
        roster->SetProducerRunModeDelay(videoInput, latency, B_RECORDING);
        bigtime_t initialLatency = 0;
        roster->GetInitialLatencyFor(videoInput, &initialLatency, nullptr);
        initialLatency += estimate_max_scheduling_latency();

        BTimeSource* clock = roster->MakeTimeSourceFor(videoInput);
        if (clock == nullptr)
            return Fail("MakeTimeSourceFor", B_ERROR);
        const bool running = clock->IsRunning();
        const bigtime_t real = BTimeSource::RealTime();
        if (!running) {
            status = roster->StartTimeSource(timeSource, real);
            if (status == B_OK)
                status = roster->SeekTimeSource(timeSource, 0, real);
            if (status != B_OK) {
                clock->Release();
                return Fail("starting the time source", status);
            }
        }
        startTime = clock->PerformanceTimeFor(real + latency + initialLatency);
        clock->Release();
        if (status = roster->StartNode(videoInput, startTime); status != B_OK)
            return Fail("StartNode (video input)", status);
        if (status = roster->StartNode(consumer->Node(), startTime); status != B_OK)
            return Fail("StartNode (consumer)", status);
        return B_OK;
    }

    // Lets frames flow for a while, then saves what the window shows.
    status_t Snapshot(const char* name, const char* what)
    {
        const int64 before = kits::interface::HeadlessDisplay().PresentCount(window);
        snooze(PHASE);
        const int64 drawn = kits::interface::HeadlessDisplay().PresentCount(window) - before;
        const std::string path = folder + "/" + name;
        window->Lock();
        const status_t status = window->WriteSnapshot(path.c_str());
        window->Unlock();
        if (status != B_OK)
            return Fail(("writing " + path).c_str(), status);
        std::printf("%-40s %s (%lld frames drawn in %.1f s)\n", path.c_str(), what,
            static_cast<long long>(drawn), double(PHASE) / 1e6);
        return B_OK;
    }

    status_t TuneToSubtitledStation()
    {
        BParameterWeb* web = nullptr;
        if (status_t status = roster->GetParameterWebFor(videoInput, &web); status != B_OK)
            return Fail("GetParameterWebFor", status);
        BDiscreteParameter* channel = FindDiscrete(web, "Channel");
        if (channel == nullptr)
            return Fail("finding the \"Channel\" parameter", B_NAME_NOT_FOUND);
        for (const devices::TestStation& station : devices::DefaultTestStations()) {
            if (!station.subtitles)
                continue;
            const int32 value = station.channel;
            std::printf("Tuning to %s (channel %s)\n", station.name.c_str(),
                value < channel->CountItems() ? channel->ItemNameAt(value) : "?");
            if (status_t status = channel->SetValue(&value, sizeof(value),
                    BTimeSource::RealTime());
                status != B_OK) {
                return Fail("setting the channel", status);
            }
            return B_OK;
        }
        return Fail("finding a station with subtitles", B_NAME_NOT_FOUND);
    }

    // Stops both nodes, disconnects them and deletes the consumer.
    void StopGraph()
    {
        if (consumer != nullptr) {
            roster->StopNode(consumer->Node(), startTime, true);
            if (connected) {
                roster->Disconnect(output.node.node, output.source, input.node.node,
                    input.destination);
            }
            roster->UnregisterNode(consumer.get());
            consumer.reset();
        }
        if (haveVideoInput) {
            roster->StopNode(videoInput, 0, true);
            roster->ReleaseNode(videoInput);
        }
    }

    const std::string folder;
    int exitCode = 1;
    // The window owns itself once shown; the view belongs to the window.
    BWindow* window = nullptr;
    BView* view = nullptr;
    BMediaRoster* roster = nullptr;
    media_node timeSource;
    media_node videoInput;
    bool haveVideoInput = false;
    std::unique_ptr<VideoConsumer> consumer;
    media_output output;
    media_input input;
    bool connected = false;
    bigtime_t startTime = 0;
};

}

int main(int argc, char** argv)
{
    FramePathDemo demo(argc > 1 ? argv[1] : ".");
    demo.Run();
    return demo.ExitCode();
}
