// A headless run of the viewer's frame path: the picture view, with its graph from the default
// video input, in a window that is saved as PNG snapshots with the filters off, with subtitle
// contrast and de-interlacing on, and on a station with subtitles. For machines without a
// desktop, where the viewer itself cannot open its window.
// Usage: framepathdemo [folder for the snapshots, default the current directory]

#include "devices/DefaultNodes.h"
#include "devices/TestStation.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/Window.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "video/TVView.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int32 WIDTH = 768;
constexpr int32 LINES = 576;
// How long frames flow before each snapshot.
constexpr bigtime_t PHASE = 3000000;

// A window that reports the node errors its picture view posts.
class DemoWindow : public BWindow {
public:
    DemoWindow()
        : BWindow(BRect(100, 100, 100 + WIDTH - 1, 100 + LINES - 1), "Ovelin frame path",
              B_TITLED_WINDOW, B_NOT_RESIZABLE)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        int32 number = 0;
        if (message->what == MSG_NODE_ERROR && message->FindInt32("Number", &number) == B_OK) {
            std::fprintf(stderr, "framepathdemo: node error %d\n", int(number));
            failed = true;
            return;
        }
        BWindow::MessageReceived(message);
    }

    std::atomic<bool> failed{false};
};

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
        exitCode = RunDemo() ? 0 : 1;
        Quit();
    }

private:
    bool RunDemo()
    {
        window = new DemoWindow();
        window->Lock();
        // Attaching the view starts its graph; 32-bit frames at the window's size.
        view = new TVView(window->Bounds(), "TVView", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
        window->AddChild(view);
        window->Unlock();
        view->Set16bitLimit(false);
        view->SetSize(WIDTH, LINES);
        // Shown on the headless display: nothing appears on a screen, but the window counts as
        // visible, so the filters run.
        window->Show();

        bool ok = Snapshot("framepath-plain.png", "filters off");
        if (ok) {
            view->SetSubtitleFilter(true);
            view->SetDeInterlace(DEINTERLACE_DUAL_FIELD);
            ok = Snapshot("framepath-filtered.png", "subtitle contrast and de-interlace");
        }
        ok = ok && TuneToSubtitledStation()
            && Snapshot("framepath-subtitles.png", "station with subtitles, filters on");

        window->Lock();
        window->Quit();
        return ok;
    }

    // Lets frames flow for a while, then saves what the window shows.
    bool Snapshot(const char* name, const char* what)
    {
        const int64 before = kits::interface::HeadlessDisplay().PresentCount(window);
        snooze(PHASE);
        const int64 drawn = kits::interface::HeadlessDisplay().PresentCount(window) - before;
        if (window->failed || drawn == 0) {
            std::fprintf(stderr, "framepathdemo: no picture\n");
            return false;
        }
        const std::string path = folder + "/" + name;
        window->Lock();
        const status_t status = window->WriteSnapshot(path.c_str());
        window->Unlock();
        if (status != B_OK) {
            std::fprintf(stderr, "framepathdemo: writing %s failed: 0x%08x\n", path.c_str(),
                unsigned(status));
            return false;
        }
        std::printf("%-40s %s (%lld frames drawn in %.1f s)\n", path.c_str(), what,
            static_cast<long long>(drawn), double(PHASE) / 1e6);
        return true;
    }

    // Tunes the card as the channel suite does: its "Channel" parameter, then a reconnection.
    bool TuneToSubtitledStation()
    {
        BMediaRoster* roster = BMediaRoster::Roster();
        media_node input;
        BParameterWeb* web = nullptr;
        if (roster == nullptr || roster->GetVideoInput(&input) != B_OK
            || roster->GetParameterWebFor(input, &web) != B_OK || web == nullptr) {
            std::fprintf(stderr, "framepathdemo: the card's parameters cannot be found\n");
            return false;
        }
        BDiscreteParameter* channel = nullptr;
        for (int32 i = 0; i < web->CountParameters(); i++) {
            if (std::strcmp(web->ParameterAt(i)->Name(), "Channel") == 0)
                channel = dynamic_cast<BDiscreteParameter*>(web->ParameterAt(i));
        }
        roster->ReleaseNode(input);
        for (const devices::TestStation& station : devices::DefaultTestStations()) {
            if (channel == nullptr || !station.subtitles)
                continue;
            const int32 value = station.channel;
            std::printf("Tuning to %s (channel %s)\n", station.name.c_str(),
                value < channel->CountItems() ? channel->ItemNameAt(value) : "?");
            if (channel->SetValue(&value, sizeof(value), BTimeSource::RealTime()) != B_OK)
                break;
            view->Reconnect();
            return true;
        }
        std::fprintf(stderr, "framepathdemo: no station with subtitles to tune to\n");
        return false;
    }

    const std::string folder;
    int exitCode = 1;
    // The window owns itself once shown; the view belongs to the window.
    DemoWindow* window = nullptr;
    TVView* view = nullptr;
};

}

int main(int argc, char** argv)
{
    if (devices::RegisterDefaultNodes() != B_OK)
        return 1;
    FramePathDemo demo(argc > 1 ? argv[1] : ".");
    demo.Run();
    return demo.ExitCode();
}
