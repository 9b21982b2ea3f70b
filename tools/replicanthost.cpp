// replicanthost: one window, "Replicant Host", whose shelf takes the replicants dragged onto it
// from our programs, the viewer's picture among them.
// Usage: replicanthost [--drop FILE] [--check]
//   --drop FILE  reads a flattened archive (a host path or a "/boot/..." path) and adds it as if
//                it had been dropped at the window's top-left corner.
//   --check      quits once the window is up and the file (if any) dropped: the exit status is 0
//                when the window holds what was asked for, 1 otherwise. For scripts and tests.

#include "devices/DefaultNodes.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/interface/Shelf.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "tools/MessageFile.h"
#include "video/TVView.h"

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr BRect HOST_FRAME(100, 100, 739, 579);

// The host window: its content view is the shelf's container, and the window owns the shelf.
class HostWindow : public BWindow {
public:
    HostWindow()
        :
        BWindow(HOST_FRAME, "Replicant Host", B_TITLED_WINDOW, B_QUIT_ON_WINDOW_CLOSE)
    {
        Lock();
        container = new BView(Bounds(), "container", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
        container->SetViewColor(216, 216, 216);
        AddChild(container);
        shelf = std::make_unique<BShelf>(container);
        Unlock();
    }

    // The shelf goes first, with the window locked, while its replicants can still be detached.
    ~HostWindow() override { shelf.reset(); }

    // With the window locked.
    BShelf& Shelf() { return *shelf; }

private:
    BView* container = nullptr;
    std::unique_ptr<BShelf> shelf;
};

struct Options {
    std::optional<std::string> dropFile;
    bool check = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options& options)
{
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] == "--drop" && i + 1 < args.size() && !options.dropFile)
            options.dropFile = args[++i];
        else if (args[i] == "--check")
            options.check = true;
        else
            return false;
    }
    return true;
}

// Files go through the storage kit, so "/boot/..." paths work as well as host paths.
bool ReadArchive(const std::string& path, BMessage& archive)
{
    if (status_t status = ReadMessageFile(path, archive); status != B_OK) {
        std::cerr << "replicanthost: " << path << ": " << MessageFileErrorText(status) << '\n';
        return false;
    }
    return true;
}

class HostApplication : public BApplication {
public:
    HostApplication(std::optional<BMessage> archive, bool check)
        :
        BApplication("application/x-vnd.Quarnet.ReplicantHost"),
        archive(std::move(archive)),
        check(check)
    {
    }

    int ExitCode() const { return exitCode; }

    void ReadyToRun() override
    {
        auto* window = new HostWindow;
        window->Lock();
        if (archive) {
            // A stored archive counts as a dropped one, whatever its command.
            archive->what = B_ARCHIVED_OBJECT;
            if (window->Shelf().AddReplicant(&*archive, B_ORIGIN) != B_OK) {
                std::cerr << "replicanthost: the archive holds nothing this host can show\n";
                exitCode = 1;
            }
        }
        window->Show();
        window->Unlock();
        if (check)
            PostMessage(B_QUIT_REQUESTED);
    }

private:
    std::optional<BMessage> archive;
    bool check;
    int exitCode = 0;
};

}

int main(int argc, char** argv)
{
    // A failure leaves no video input, which a hosted picture reports as a node error, as in the
    // viewer: the host itself runs on.
    (void)devices::RegisterDefaultNodes();
    Options options;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options)) {
        std::cerr << "usage: replicanthost [--drop FILE] [--check]\n";
        return 2;
    }
    std::optional<BMessage> archive;
    if (options.dropFile) {
        archive.emplace();
        if (!ReadArchive(*options.dropFile, *archive))
            return 1;
    }
    // The viewer's picture is a replicant this host knows how to rebuild.
    TVView::RegisterReplicant();
    HostApplication application(std::move(archive), options.check);
    application.Run();
    return application.ExitCode();
}
