#include "kits/interface/DropExchange.h"

#include "InterfaceTestSupport.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/Dragger.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/Shelf.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "tests/support/Await.h"
#include "tests/support/TemporaryFolder.h"

#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

extern char** environ;

namespace {

using interface_test::Locked;
using kits::interface::Drops;
using kits::interface::HeadlessDisplay;
using test_support::Await;

// The other process's window, well away from this process's.
constexpr BRect HOST_FRAME(700, 500, 1199, 899);
constexpr const char* HOST_TEST = "DropExchangeHostTest.DISABLED_TakesOneReplicant";
// How long one process waits for the other: a process starts slowly under a sanitizer.
constexpr bigtime_t OTHER_PROCESS_TIMEOUT = 20000000;

// Points the exchange at a folder of the test's own, so no other program takes part.
class DropExchangeTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr)
            savedRuntime = runtime;
        setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);
        HeadlessDisplay().Reset();
    }

    void TearDown() override
    {
        if (savedRuntime)
            setenv("XDG_RUNTIME_DIR", savedRuntime->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        HeadlessDisplay().Reset();
    }

    std::string SocketOf(pid_t process) const
    {
        return folder.Path("ovelin-drops/headless/" + std::to_string(process));
    }

    TemporaryFolder folder;
    std::optional<std::string> savedRuntime;
};

// Run by the test below in a process of its own, with the exchange's folder it was given: a
// window with a shelf at HOST_FRAME that waits for one replicant and checks where it landed.
TEST(DropExchangeHostTest, DISABLED_TakesOneReplicant)
{
    auto* window = new BWindow(HOST_FRAME, "host", B_TITLED_WINDOW, 0);
    window->Lock();
    auto* container = new BView(window->Bounds(), "container", B_FOLLOW_ALL_SIDES, 0);
    window->AddChild(container);
    window->Show();
    // Listening only once the window is on screen, so an offer finds it.
    auto* shelf = new BShelf(container);
    window->Unlock();
    (void)Await([&] { return Locked(window, [&] { return shelf->CountReplicants() > 0; }); },
        2 * OTHER_PROCESS_TIMEOUT);
    window->Lock();
    ASSERT_EQ(shelf->CountReplicants(), 1);
    BView* replicant = shelf->ReplicantAt(0);
    EXPECT_STREQ(replicant->Name(), "picture");
    // Let go at (300, 300) of the window, 220, 200 from the picture's corner.
    EXPECT_EQ(replicant->Frame().LeftTop(), BPoint(80, 100));
    EXPECT_NE(dynamic_cast<BDragger*>(replicant->ChildAt(0)), nullptr);
    delete shelf;
    window->Quit();
}

TEST_F(DropExchangeTest, DragEndingOverAnotherProgramsShelfLandsThere)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string filter = std::string("--gtest_filter=") + HOST_TEST;
    char* const arguments[] = {const_cast<char*>(self.c_str()),
        const_cast<char*>(filter.c_str()), const_cast<char*>("--gtest_also_run_disabled_tests"),
        nullptr};
    pid_t host = 0;
    ASSERT_EQ(posix_spawn(&host, self.c_str(), nullptr, nullptr, arguments, environ), 0);
    // Its shelf listens once its window is up.
    EXPECT_TRUE(Await([&] { return std::filesystem::exists(SocketOf(host)); },
        OTHER_PROCESS_TIMEOUT));

    auto* window = new BWindow(BRect(100, 100, 299, 299), "source", B_TITLED_WINDOW, 0);
    auto* picture = new BView(BRect(0, 0, 199, 199), "picture", B_FOLLOW_NONE, B_WILL_DRAW);
    picture->AddChild(new BDragger(BRect(192, 192, 199, 199), picture));
    window->AddChild(picture);
    interface_test::Shown(window);

    // Offered where no window of the other program is, the drop is not taken.
    BMessage stray(B_ARCHIVED_OBJECT);
    EXPECT_FALSE(Drops().Offer(stray, BPoint(650, 450), B_ORIGIN));
    // Dragged by its dragger (pressed 195, 195 from the corner, moved 25, 5) to (1000, 800).
    ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(295, 295)), B_OK);
    HeadlessDisplay().MoveMouse(BPoint(320, 300));
    HeadlessDisplay().MoveMouse(BPoint(1000, 800));
    HeadlessDisplay().ReleaseMouse(BPoint(1000, 800));

    int status = -1;
    if (!Await([&] { return waitpid(host, &status, WNOHANG) != 0; }, OTHER_PROCESS_TIMEOUT)) {
        kill(host, SIGKILL);
        waitpid(host, &status, 0);
        ADD_FAILURE() << "the other program never got the replicant";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // It stopped listening when its shelf went.
    EXPECT_FALSE(std::filesystem::exists(SocketOf(host)));
    interface_test::QuitWindow(window);
}

TEST_F(DropExchangeTest, ListensWhileAShelfExistsAndTakesOnlyWellFormedOffers)
{
    auto* window = new BWindow(BRect(0, 0, 99, 99), "listener", B_TITLED_WINDOW, 0);
    window->Lock();
    auto* container = new BView(window->Bounds(), "container", B_FOLLOW_ALL_SIDES, 0);
    window->AddChild(container);
    auto* first = new BShelf(container);
    auto* second = new BShelf(container);
    EXPECT_TRUE(Drops().IsListening());
    EXPECT_TRUE(std::filesystem::exists(SocketOf(getpid())));

    // Garbage, a header without its bytes and one claiming too many get no answer; bytes that
    // are no message get a refusal; the listener keeps working throughout.
    auto header = [](uint32 magic, uint32 size) {
        std::string bytes(24, '\0');
        std::memcpy(bytes.data(), &magic, 4);
        const float where[4] = {10, 10, 0, 0};
        std::memcpy(bytes.data() + 4, where, 16);
        std::memcpy(bytes.data() + 20, &size, 4);
        return bytes;
    };
    const uint32 magic = FourCC("ODRP");
    // Each offer and the answer it gets.
    const std::pair<std::string, std::string> offers[] = {{"hello", ""},
        {std::string(24, '\xff'), ""}, {header(magic, 16), ""}, {header(magic, 0x7fffffff), ""},
        {header(magic, 5) + "abcde", std::string(1, '\0')}};
    for (const auto& [bytes, expected] : offers) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, SocketOf(getpid()).c_str());
        const int connection = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(connection, 0);
        ASSERT_EQ(connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof(address)),
            0);
        ASSERT_EQ(send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL),
            ssize_t(bytes.size()));
        shutdown(connection, SHUT_WR);
        char answer = 1;
        const ssize_t received = std::max<ssize_t>(recv(connection, &answer, 1, 0), 0);
        EXPECT_EQ(std::string(&answer, size_t(received)), expected);
        close(connection);
    }

    delete second;
    EXPECT_TRUE(Drops().IsListening());
    delete first;
    EXPECT_FALSE(Drops().IsListening());
    EXPECT_FALSE(std::filesystem::exists(SocketOf(getpid())));
    window->Quit();
}

TEST_F(DropExchangeTest, FolderOthersCouldWriteToIsNotUsed)
{
    ASSERT_TRUE(std::filesystem::create_directory(folder.Path("ovelin-drops")));
    std::filesystem::permissions(folder.Path("ovelin-drops"), std::filesystem::perms::all);
    EXPECT_EQ(kits::interface::DropExchange::Folder(), "");
    BMessage archive(B_ARCHIVED_OBJECT);
    EXPECT_FALSE(Drops().Offer(archive, BPoint(10, 10), B_ORIGIN));
}

}
