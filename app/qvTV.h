#pragma once
// qvTV: the application object, which opens the main window, drives its pulse and shows About.

#include "kits/app/Application.h"

class TVWindow;

// The root of the program, an automatic object of main(). Its hooks run on the application
// thread (the one calling Run()) with the application locked: ReadyToRun builds and shows the
// main window, Pulse passes each pulse to it, AboutRequested shows the About box synchronously,
// and QuitRequested closes the main window before the application quits.
class qvTV : public BApplication {
public:
    qvTV();
    ~qvTV() override;

    void MessageReceived(BMessage* message) override;
    // Hides, locks and quits the main window; the application then quits.
    bool QuitRequested() override;
    void Pulse() override;
    void ReadyToRun() override;
    void AboutRequested() override;

    // The main window from ReadyToRun until QuitRequested, null otherwise. Use it on the
    // application thread; the window is locked like any other.
    TVWindow* MainWindow() const;

private:
    // The window owns itself once shown: its Quit() deletes it.
    TVWindow* pWindow = nullptr;
};
