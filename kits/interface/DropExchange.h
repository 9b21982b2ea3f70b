#pragma once
// DropExchange: drops handed between our programs through Unix sockets; private to the kit.

#include "kits/kernel/Point.h"
#include "kits/kernel/SupportDefs.h"

#include <mutex>
#include <string>
#include <thread>

class BMessage;

namespace kits::interface {

// Every process of ours that has a shelf listens on a Unix socket named after its process id,
// in a folder of the user's per display: "$XDG_RUNTIME_DIR/ovelin-drops/<display>", or
// "/tmp/ovelin-drops-<uid>/<display>" without a runtime folder; a folder that another user
// could write to is not used. A drag that ends outside every window of its own process is
// offered, flattened, to each listener in turn until one has a window at the drop point; that
// process delivers it there as its own drop. Any thread may call; the listener's thread takes
// no window lock (it asks the display and posts), so a window thread may stop it.
class DropExchange {
public:
    DropExchange() = default;
    // Stops listening.
    ~DropExchange();
    DropExchange(const DropExchange&) = delete;
    DropExchange& operator=(const DropExchange&) = delete;

    // Counted: the first call starts the listener, the matching last StopListening ends it
    // (joining its thread and removing the socket). A process that cannot listen (no usable
    // folder, a path too long for a socket) simply takes no drops from others.
    void StartListening();
    void StopListening();
    bool IsListening() const;

    // Offers message, dropped at screenPoint with offset (see BMessage::DropPoint), to the
    // other processes; true when one had a window there and took it. Waits at most a second
    // for each step of each of them.
    bool Offer(const BMessage& message, BPoint screenPoint, BPoint offset);

    // The folder the sockets of this display live in; empty when there is no safe one.
    static std::string Folder();

private:
    // Reads one offer from a connection and answers it.
    void Answer(int connection);

    mutable std::mutex lock;
    // Guarded by lock.
    int32 listeners = 0;
    int listenDescriptor = -1;
    // Written to end the listener's thread.
    int stopDescriptor = -1;
    std::string socketPath;
    std::thread thread;
};

// The process's exchange, made on first use and stopped as the program ends.
DropExchange& Drops();

// Ends a drag released at screenPoint: the message, marked as dropped there with offset, goes to
// the front-most window of this process at that point, else to another of our programs that has
// one there (Drops().Offer), else nowhere. Any thread without a window lock or the display's
// mutex held (the offer may wait for other programs).
void DeliverDrop(BMessage message, BPoint screenPoint, BPoint offset);

}
