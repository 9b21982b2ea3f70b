#include "kits/app/Roster.h"

#include "kits/app/Application.h"
#include "kits/storage/Entry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

TEST(RosterTest, AppInfoNamesTheRunningExecutableAndCutsLongSignaturesToFit)
{
    app_info info;
    {
        BApplication application("application/x-vnd.Ovelin-roster-test");
        ASSERT_EQ(application.GetAppInfo(&info), B_OK);
        EXPECT_STREQ(info.signature, "application/x-vnd.Ovelin-roster-test");
        EXPECT_STREQ(info.ref.Name(), "kits_app_tests");
        EXPECT_EQ(info.team, getpid());
        EXPECT_TRUE(BEntry(&info.ref).IsFile());
        EXPECT_EQ(application.GetAppInfo(nullptr), B_BAD_VALUE);
    }
    BApplication application(std::string(400, 'x').c_str());
    ASSERT_EQ(application.GetAppInfo(&info), B_OK);
    EXPECT_EQ(std::strlen(info.signature), size_t(B_MIME_TYPE_LENGTH - 1));
}

TEST(RosterTest, CursorHidesAndShowsAndTellsItsListener)
{
    BApplication application("application/x-vnd.Ovelin-roster-test");
    std::vector<bool> heard;
    kits::app::SetCursorListener([&](bool hidden) { heard.push_back(hidden); });
    application.HideCursor();
    EXPECT_TRUE(application.IsCursorHidden());
    application.HideCursor();
    application.ShowCursor();
    EXPECT_FALSE(application.IsCursorHidden());
    kits::app::SetCursorListener(nullptr);
    application.HideCursor();
    application.ShowCursor();
    EXPECT_EQ(heard, (std::vector<bool>{false, true, false}));
}

TEST(RosterTest, LaunchRefusesMissingDocumentsAndFailsWithoutAnOpener)
{
    EXPECT_EQ(be_roster->Launch(nullptr), B_BAD_VALUE);
    entry_ref empty;
    team_id team = 5;
    EXPECT_EQ(be_roster->Launch(&empty, nullptr, &team), B_BAD_VALUE);
    EXPECT_EQ(team, -1);
    const entry_ref missing{"/nonexistent/Doc/Manual"};
    EXPECT_EQ(be_roster->Launch(&missing), B_ENTRY_NOT_FOUND);

    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ASSERT_EQ(setenv("PATH", "/nonexistent", 1), 0);
    const entry_ref document{"/proc/self/exe"};
    const status_t result = be_roster->Launch(&document);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(result, B_LAUNCH_FAILED);
}
