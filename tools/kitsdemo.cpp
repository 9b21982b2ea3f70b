// A small program that shows the kits at work until the viewer runs: an application with
// a pulse and a second looper that writes a settings-style message to the boot volume.

#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Looper.h"
#include "kits/app/Message.h"
#include "kits/storage/File.h"

#include <cstdio>

namespace {

constexpr uint32 MSG_WRITE_SETTINGS = 'wrst';
constexpr uint32 MSG_SETTINGS_WRITTEN = 'wrdn';
constexpr const char* SETTINGS_PATH = "/boot/home/config/settings/Ovelin Kits Demo";
constexpr int32 PULSES_TO_SHOW = 5;

// Runs on its own thread: builds the message and flattens it into the file, the way the
// viewer's preferences window saves its settings.
class SettingsWriter : public BLooper {
public:
    SettingsWriter() : BLooper("settings writer") {}

    void MessageReceived(BMessage* message) override
    {
        if (message->what != MSG_WRITE_SETTINGS) {
            BLooper::MessageReceived(message);
            return;
        }
        BMessage settings('CNLS');
        settings.AddBool("chkDblRefresh", true);
        settings.AddBool("chkAdaptSync", true);
        settings.AddBool("chkTweakMode", true);
        settings.AddInt32("rdoResolution", 0);
        settings.AddBool("chkSubtitleFtr", false);
        settings.AddInt32("rdoDeInterlace", 0);
        settings.AddBool("chk16bitMax", true);
        settings.AddPoint("window_pos", BPoint(10, 25));

        BMessage reply(MSG_SETTINGS_WRITTEN);
        BFile file(SETTINGS_PATH, B_READ_WRITE | B_CREATE_FILE);
        status_t status = file.InitCheck();
        if (status == B_OK)
            status = file.SetSize(0);
        if (status == B_OK && file.Seek(0, SEEK_SET) != 0)
            status = B_IO_ERROR;
        ssize_t size = 0;
        if (status == B_OK)
            status = settings.Flatten(&file, &size);
        reply.AddInt32("status", status);
        reply.AddInt64("size", size);
        be_app->PostMessage(&reply);
    }
};

class DemoApplication : public BApplication {
public:
    DemoApplication() : BApplication("application/x-vnd.Quarnet.Ovelin-kitsdemo") {}

    void ReadyToRun() override
    {
        writer = new SettingsWriter;
        writer->Run();
        writer->PostMessage(MSG_WRITE_SETTINGS);
        SetPulseRate(100000);
        start = system_time();
    }

    void Pulse() override
    {
        pulses++;
        std::printf("pulse %d after %.1f ms\n", int(pulses), (system_time() - start) / 1000.0);
        if (pulses >= PULSES_TO_SHOW && written)
            PostMessage(B_QUIT_REQUESTED);
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what != MSG_SETTINGS_WRITTEN) {
            BApplication::MessageReceived(message);
            return;
        }
        int32 status = B_ERROR;
        int64 size = 0;
        message->FindInt32("status", &status);
        message->FindInt64("size", &size);
        if (status == B_OK) {
            std::printf("the settings writer flattened %lld bytes into \"%s\"\n",
                static_cast<long long>(size), SETTINGS_PATH);
        } else {
            std::printf("the settings writer failed: status 0x%08x\n", unsigned(status));
            exitCode = 1;
        }
        written = true;
    }

    int exitCode = 0;

private:
    SettingsWriter* writer = nullptr;
    bigtime_t start = 0;
    int32 pulses = 0;
    bool written = false;
};

} // namespace

int main()
{
    DemoApplication application;
    application.Run();
    return application.exitCode;
}
