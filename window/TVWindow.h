#pragma once
// TVWindow: the main window, with its menus, the control panel, the video view and overlays.

#include "kits/app/Messenger.h"
#include "kits/game/DirectWindow.h"
#include "kits/interface/Screen.h"
#include "kits/storage/EntryRef.h"

#include <atomic>
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

// What full-screen looks for: a display mode of modeWidth by modeHeight pixels, and the size
// the window and its video view take, as bounds measures (right minus left), which the fitted
// mode also shows in pixels.
struct FullScreenTarget {
    uint16 modeWidth;
    uint16 modeHeight;
    float width;
    float height;
};

// The target for the preferences' resolution (0 optimal, 1 640 x 480, 2 800 x 600,
// 3 1024 x 768; any other value counts as 800 x 600) and tweak mode, given the 4:3 signal
// rectangle: a signal at most 645 units wide always gets 640 by 480; "Optimal" with tweak mode
// trims an 800 by 600 mode to the signal's pixels.
FullScreenTarget ChooseFullScreenTarget(int32 resolution, bool tweakMode, BRect signal);

// Trims the timing of `mode`, the mode looked for as the screen took it, so that the target's
// smaller picture fills the screen: the horizontal and vertical totals and sync starts shrink
// and grow in proportion when the target is more than 10 pixels smaller than the mode, and
// adaptSync shortens the horizontal total by a further 5 per cent. Then the mode shows the
// target's size, on a desktop of that size. The pixel clock is left alone.
void TrimModeTiming(display_mode* mode, const FullScreenTarget& target, bool adaptSync);

// The pixel clock in kHz that refreshes the timing `refresh` times a second: refresh times the
// pixels of a frame in whole thousands, truncated.
uint32 RefreshPixelClock(const display_timing& timing, float refresh);

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
    // Puts the saved display mode and the mouse pointer back when full-screen, suspended or not.
    ~TVWindow() override;

    void MessageReceived(BMessage* message) override;
    // Asks the application to quit, which closes this window; never closes it by itself.
    bool QuitRequested() override;
    // Keeps the content area's top-left for the settings file.
    void FrameMoved(BPoint newPosition) override;
    // Leaving the workspace of a full-screen window hides it and leaves full-screen; coming back
    // to that workspace shows it full-screen again. The display mode stays as it is meanwhile.
    void WorkspaceActivated(int32 workspace, bool active) override;
    // Sizes the video five pulses after the last of a series of resizes.
    void FrameResized(float newWidth, float newHeight) override;
    // The zoom button sizes the window to the signal instead.
    void Zoom(BPoint origin, float width, float height) override;

    // The auxiliary windows the main window created; they live until the application ends.
    Preferences* PreferencesWindow() const;
    ChannelSuite* ChannelSuiteWindow() const;

    // The application's pulse, on the application thread, ten times a second; takes the window
    // lock itself, and only when there is something to do. Hides the overlays when their
    // time-out runs out and sizes the video after a resize has settled. The time-outs run down
    // while another thread holds the window (an alert open on its thread, say); what falls due
    // then is done at the first pulse that gets the lock within 50 ms.
    void Pulse();

    // Full-screen, in a display mode fitted to the signal: 4:3, without the menu bar, the
    // control panel and the mouse pointer, at the field rate (or twice it) when the screen
    // offers a mode of the size looked for in the current colour space. The preferences'
    // full-screen options are read each time. Leaving puts the saved display mode, the bars and
    // the window's size back; the signal format stays 4:3. Each does nothing in the state asked
    // for; entering does nothing either while full-screen is suspended by a workspace switch.
    // On the window's thread, with the window locked.
    void GoFullScreen();
    void ExitFullScreen();

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
    // Marks the format's item of the "Video format" menu.
    void MarkSignalFormat(int32 format);
    void ToggleFullScreen();
    // Sets the mode found in the screen's list, then trims it and sets its pixel clock for the
    // target at refresh Hz, reading back what the screen took after each change.
    void FitDisplayMode(display_mode mode, const FullScreenTarget& target, float refresh);
    // Hides the overlays if the window is on screen. With the window locked.
    void HideOverlays();
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
    // The workspace whose switch suspended full-screen; -1 while it is not suspended.
    int32 fullScreenWorkspace = -1;
    // Pulses left until the overlays are hidden, and until the video follows the view's size;
    // 0 when nothing is pending. Set on the window's thread with the window locked, counted
    // down by Pulse without the lock.
    std::atomic<int32> overlayTimeout = 0;
    std::atomic<int32> resizeDelay = 0;
    // A time-out that ran out while Pulse could not take the lock; cleared by the pulse that
    // does its work, under the lock.
    std::atomic<bool> overlaysDue = false;
    std::atomic<bool> resizeDue = false;
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
