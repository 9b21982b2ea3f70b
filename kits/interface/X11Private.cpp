#include "kits/interface/X11Private.h"

#include <X11/Xlib.h>

#include <atomic>

namespace kits::interface {

namespace {

std::mutex trapLock;
std::atomic<::Display*> trappedDisplay = nullptr;
std::atomic<int> trappedError = Success;
std::atomic<XErrorHandler> otherHandler = nullptr;

std::atomic<::Display*> ignoredDisplay = nullptr;
std::atomic<XErrorHandler> handlerBeforeIgnoring = nullptr;

int IgnoreError(::Display* display, XErrorEvent* event)
{
    if (display == ignoredDisplay.load())
        return 0;
    const XErrorHandler other = handlerBeforeIgnoring.load();
    return other != nullptr ? other(display, event) : 0;
}

int TrapError(::Display* display, XErrorEvent* event)
{
    if (display == trappedDisplay.load()) {
        // The first error tells what went wrong; the later ones follow from it.
        int none = Success;
        trappedError.compare_exchange_strong(none, event->error_code);
        return 0;
    }
    const XErrorHandler other = otherHandler.load();
    return other != nullptr ? other(display, event) : 0;
}

}

status_t XStatus(int errorCode)
{
    switch (errorCode) {
    case Success:
        return B_OK;
    case BadAlloc:
        return B_NO_MEMORY;
    case BadValue:
        return B_BAD_VALUE;
    default:
        return B_ERROR;
    }
}

void DisplayClose::operator()(::Display* display) const
{
    ::Display* ignored = display;
    ignoredDisplay.compare_exchange_strong(ignored, nullptr);
    XCloseDisplay(display);
}

void IgnoreErrorsOf(::Display* display)
{
    // Not while a trap has the handler replaced: it puts back the one it found.
    std::lock_guard guard(trapLock);
    ignoredDisplay = display;
    if (const XErrorHandler previous = XSetErrorHandler(IgnoreError); previous != IgnoreError)
        handlerBeforeIgnoring = previous;
}

ErrorTrap::ErrorTrap(::Display* display)
    : guard(trapLock),
      display(display)
{
    // Errors of earlier requests are not this trap's.
    XSync(display, False);
    trappedError = Success;
    trappedDisplay = display;
    otherHandler = XSetErrorHandler(TrapError);
}

ErrorTrap::~ErrorTrap()
{
    (void)Finish();
}

status_t ErrorTrap::Finish()
{
    if (!guard.owns_lock())
        return B_OK;
    XSync(display, False);
    XSetErrorHandler(otherHandler.load());
    trappedDisplay = nullptr;
    const status_t status = XStatus(trappedError.load());
    guard.unlock();
    return status;
}

}
