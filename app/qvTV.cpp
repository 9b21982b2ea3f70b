#include "app/qvTV.h"

#include "kits/interface/Alert.h"
#include "video/AboutText.h"
#include "window/TVWindow.h"

namespace {

constexpr const char* SIGNATURE = "application/x-vnd.Quarnet.Ovelin";
constexpr const char* TITLE = "Ovelin Beta 4";
// Ten pulses a second: the window's time-outs count these.
constexpr bigtime_t PULSE_RATE = 100000;

}

qvTV::qvTV()
    :
    BApplication(SIGNATURE)
{
}

qvTV::~qvTV() = default;

void qvTV::MessageReceived(BMessage* message)
{
    BApplication::MessageReceived(message);
}

bool qvTV::QuitRequested()
{
    if (pWindow != nullptr) {
        pWindow->Hide();
        // Quit() wants the window locked; it deletes the window.
        pWindow->Lock();
        pWindow->Quit();
        pWindow = nullptr;
    }
    return true;
}

void qvTV::Pulse()
{
    if (pWindow != nullptr)
        pWindow->Pulse();
}

void qvTV::ReadyToRun()
{
    pWindow = new TVWindow(BRect(10, 25, 410, 325), TITLE, B_TITLED_WINDOW,
        B_ASYNCHRONOUS_CONTROLS);
    pWindow->Show();
    // After Show(): the first pulse must find the window shown.
    SetPulseRate(PULSE_RATE);
}

void qvTV::AboutRequested()
{
    // The alert deletes itself when Go() returns.
    auto* alert = new BAlert("About", ABOUT_TEXT, "Ok", nullptr, nullptr, B_WIDTH_AS_USUAL,
        B_INFO_ALERT);
    alert->Go();
}

TVWindow* qvTV::MainWindow() const
{
    return pWindow;
}
