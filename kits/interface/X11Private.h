#pragma once
// X11Private: what the kit's X11 code shares: error statuses, an error trap, a closing deleter.

#include "kits/kernel/SupportDefs.h"

#include <mutex>

// Xlib's Display, without Xlib's header.
struct _XDisplay;

namespace kits::interface {

// An X protocol error code as a status.
status_t XStatus(int errorCode);

struct DisplayClose {
    void operator()(_XDisplay* display) const;
};

// From now on, errors of the connection's requests are dropped instead of ending the program
// (those of other connections go on to the handler installed before). For a connection whose
// requests may fail harmlessly, as drawing on a window another connection has just destroyed.
// One connection at a time: a later call replaces the earlier one.
void IgnoreErrorsOf(_XDisplay* display);

// Keeps the errors of a connection's requests from its construction to Finish(), instead of
// Xlib's default handler ending the program. Xlib's error handler belongs to the process and is
// shared with SDL's connection: only errors of the trapped connection are kept, the others go on
// to the handler that was installed before. One trap at a time in the process (a mutex).
class ErrorTrap {
public:
    explicit ErrorTrap(_XDisplay* display);
    ~ErrorTrap();

    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server to have handled every request; the first error's status, or B_OK.
    [[nodiscard]] status_t Finish();

private:
    std::unique_lock<std::mutex> guard;
    _XDisplay* display;
};

}
