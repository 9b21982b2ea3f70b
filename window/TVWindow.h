#pragma once
// TVWindow: the main window, with its menus, the control panel, the video view and overlays.

#include "kits/app/Messenger.h"
#include "kits/game/DirectWindow.h"
#include "kits/interface/Screen.h"
#include "kits/storage/EntryRef.h"

#include <memory>
#include <string>

class BMediaRoster;
class BMenu;
class BMenuBar;
class BMenuItem;
class ChannelSuite;
class ControlPanel;
class Preferences;
class Slider;
class TextOver;
class TVView;

// The program's one main window. The application object creates it (its constructor runs on the
// application thread and locks the window while it builds it), shows it, gives it its pulse
// through Pulse() and ends it with Hide(), Lock() and Quit(); the window's destructor then runs
// on the thread that called Quit(), the application thread, with the window locked and its own
// thread ended. Its hooks run on its own thread with the window locked.
//
// It owns its child views (the menu bar, the control panel, the video view and, inside the
// video view, the overlays): the window holds them as views of its tree and the members below
// only observe them. The preferences and channel suite windows it creates are loopers of their
// own that the application object ends; the pointers observe them too.
//
// Lock order: this window's lock before the preferences' or the channel suite's; neither of
// those windows ever locks this one.
class TVWindow : public BDirectWindow {
public:
    // frame: the content area in screen coordinates. The help documents are looked for in
    // "Doc" beside the executable.
    TVWindow(BRect frame, const char* title, window_type type, uint32 flags);
    // For tests: the help documents are looked for in "Doc" inside applicationDirectory.
    TVWindow(BRect frame, const char* title, window_type type, uint32 flags,
        const char* applicationDirectory);
    ~TVWindow() override;

    void MessageReceived(BMessage* message) override;
    // Asks the application to quit, which closes this window; never closes it by itself.
    bool QuitRequested() override;
    void FrameMoved(BPoint newPosition) override;
    void FrameResized(float newWidth, float newHeight) override;
    // The zoom button sizes the window to the signal instead.
    void Zoom(BPoint origin, float width, float height) override;

    // The auxiliary windows the main window created; they live until the application ends.
    Preferences* PreferencesWindow() const;
    ChannelSuite* ChannelSuiteWindow() const;

    // The application's pulse, on the application thread; takes the window lock itself. Hides
    // the overlays when their time-out runs out and sizes the video after a resize has settled.
    void Pulse();

private:
    // Adds the menus to the bar, left to right.
    void BuildMenus(const std::string& applicationDirectory, bool tunerFitted);
    // Enables item when file relativePath exists in applicationDirectory, and fills ref then.
    static void FindDocument(const std::string& applicationDirectory, const char* relativePath,
        BMenuItem* item, entry_ref* ref);
    void AddOverlays();
    void ResizeToSignal();
    // Steps one level of the preferences and shows it under caption in the level overlay.
    void ShowLevel(const char* caption, int32 (Preferences::*step)());
    // Zaps the channel suite up or down and shows the preset's number and name.
    void ShowZap(bool up);
    // Sets the aspect value, marks its item and sizes the window to the new signal.
    void SetSignalFormat(int32 format);
    // Enters or leaves full-screen. The window covers the screen as it is; the display mode is
    // left alone.
    void ToggleFullScreen();
    // Opens a help document with the user's preferred application; a missing document or
    // opener changes nothing.
    static void OpenDocument(const entry_ref& ref);
    void StationChanged(const BMessage* message);
    // Shows the node error's text and number in a stop alert and waits for its "Ok" on this
    // window's thread.
    static void ShowNodeError(int32 number);

    display_mode savedMode = {};
    float savedWidth = 0;
    float savedHeight = 0;
    // No workspace until full-screen has been suspended.
    int32 fullScreenWorkspace = -1;
    // Pulses left until the overlays are hidden, and until the video follows the view's size;
    // 0 when nothing is pending. Set on the window's thread and counted down by Pulse, both
    // with the window locked.
    int32 overlayTimeout = 0;
    int32 resizeDelay = 0;
    // The title given at construction; a station's name is added to it.
    std::string baseTitle;
    entry_ref manualRef;
    entry_ref quickStartRef;
    BMediaRoster* mediaRoster;
    std::unique_ptr<BScreen> screen;
    BMenuBar* pMenuBar = nullptr;
    ControlPanel* pControlPanel = nullptr;
    TVView* pTVView = nullptr;
    Preferences* pPreferences = nullptr;
    ChannelSuite* pChannelSuite = nullptr;
    // Tells the destructor whether the channel suite is still there.
    BMessenger suiteMessenger;
    BMenu* pVideoFormatMenu = nullptr;
    BMenuItem* pFullScreenItem = nullptr;
    TextOver* pChannelLabel = nullptr;
    TextOver* pNameLabel = nullptr;
    Slider* pSlider = nullptr;
};
