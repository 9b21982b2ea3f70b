#pragma once
// EventSignal: a flag other threads raise to wake a thread sleeping in poll().

namespace kits::kernel {

// An eventfd: Raise() makes Fd() readable until Clear(), however often it was raised. Raise and
// Clear may be called from any thread; the descriptor is closed with the object.
class EventSignal {
public:
    EventSignal();
    ~EventSignal();

    EventSignal(const EventSignal&) = delete;
    EventSignal& operator=(const EventSignal&) = delete;

    // Negative when the system had none to give.
    int Fd() const { return fd; }
    void Raise() const;
    void Clear() const;

private:
    const int fd;
};

}
