// Lock order: the exchange's mutex is never held while waiting on a socket, a window lock or
// the listener's thread; the listener takes the display's mutex and loopers' queue mutexes.
#include "kits/interface/DropExchange.h"

#include "kits/app/Message.h"
#include "kits/app/Messenger.h"
#include "kits/interface/DisplayBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kits::interface {

namespace {

constexpr uint32 OFFER_MAGIC = FourCC("ODRP");
// A replicant's archive is a few kilobytes; anything far beyond is refused unread.
constexpr uint32 MAX_ARCHIVE_SIZE = 16 * 1024 * 1024;
// Each send and receive on a connection gives up after this long, so a peer that hangs cannot
// hold a window or the listener for long; a busy machine may take a good part of it to schedule
// the peer's listener.
constexpr int64 CONNECTION_TIME_OUT = 1000000;

// The fixed part of an offer; the flattened message follows it. Both ends are on one machine.
struct OfferHeader {
    uint32 magic;
    float x;
    float y;
    float offsetX;
    float offsetY;
    uint32 size;
};

// Owns a file descriptor.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : descriptor(descriptor) {}
    ~Descriptor()
    {
        if (descriptor >= 0)
            close(descriptor);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return descriptor; }
    int Release()
    {
        const int released = descriptor;
        descriptor = -1;
        return released;
    }

private:
    int descriptor;
};

// A folder only this user can write to, made if missing; false when that cannot be had.
bool PrivateFolder(const std::string& path)
{
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid()
        && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void SetTimeOuts(int descriptor)
{
    const timeval timeOut{CONNECTION_TIME_OUT / 1000000, CONNECTION_TIME_OUT % 1000000};
    (void)setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &timeOut, sizeof(timeOut));
    (void)setsockopt(descriptor, SOL_SOCKET, SO_SNDTIMEO, &timeOut, sizeof(timeOut));
}

bool SendAll(int descriptor, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8*>(data);
    while (size > 0) {
        const ssize_t done = send(descriptor, bytes, size, MSG_NOSIGNAL);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        bytes += done;
        size -= size_t(done);
    }
    return true;
}

bool ReceiveAll(int descriptor, void* data, size_t size)
{
    auto* bytes = static_cast<uint8*>(data);
    while (size > 0) {
        const ssize_t done = recv(descriptor, bytes, size, 0);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        bytes += done;
        size -= size_t(done);
    }
    return true;
}

bool SocketAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The process id a socket is named after; 0 for any other name.
pid_t PeerId(const std::string& name)
{
    int value = 0;
    const char* end = name.data() + name.size();
    auto [rest, error] = std::from_chars(name.data(), end, value);
    return error == std::errc() && rest == end && value > 0 ? pid_t(value) : 0;
}

// Offers the flattened bytes to one listener; true when it took them.
bool OfferTo(const std::string& path, const OfferHeader& header, const std::vector<char>& flat)
{
    sockaddr_un address;
    if (!SocketAddress(path, address))
        return false;
    Descriptor connection(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (connection.Get() < 0)
        return false;
    SetTimeOuts(connection.Get());
    if (connect(connection.Get(), reinterpret_cast<const sockaddr*>(&address),
            sizeof(address))
        != 0) {
        return false;
    }
    uint8 answer = 0;
    return SendAll(connection.Get(), &header, sizeof(header))
        && SendAll(connection.Get(), flat.data(), flat.size())
        && ReceiveAll(connection.Get(), &answer, sizeof(answer)) && answer == 1;
}

}

DropExchange::~DropExchange()
{
    {
        std::lock_guard guard(lock);
        if (listeners == 0)
            return;
        listeners = 1;
    }
    StopListening();
}

std::string DropExchange::Folder()
{
    std::string base;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && runtime[0] == '/') {
        base = std::string(runtime) + "/ovelin-drops";
    } else {
        base = "/tmp/ovelin-drops-" + std::to_string(getuid());
    }
    std::string display = Display().DropExchangeName();
    for (char& c : display) {
        if (c == '/' || c == '.')
            c = '_';
    }
    const std::string folder = base + "/" + display;
    if (display.empty() || !PrivateFolder(base) || !PrivateFolder(folder))
        return {};
    return folder;
}

void DropExchange::StartListening()
{
    std::lock_guard guard(lock);
    if (listeners++ > 0)
        return;
    const std::string folder = Folder();
    if (folder.empty())
        return;
    // Peers reach the socket by this name, which must fit a socket address.
    const std::string path = folder + "/" + std::to_string(getpid());
    sockaddr_un address;
    if (!SocketAddress(path, address))
        return;
    Descriptor listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    int pipeDescriptors[2];
    if (listener.Get() < 0 || pipe2(pipeDescriptors, O_CLOEXEC) != 0)
        return;
    Descriptor stopRead(pipeDescriptors[0]);
    Descriptor stopWrite(pipeDescriptors[1]);
    // Bound under a name no one offers to, and given its real name only once it listens, so
    // that a peer never finds a socket that refuses it. A socket left by an earlier process of
    // the same id is stale and replaced.
    const std::string boundPath = folder + "/." + std::to_string(getpid()) + ".new";
    sockaddr_un boundAddress;
    if (!SocketAddress(boundPath, boundAddress))
        return;
    (void)unlink(boundPath.c_str());
    if (bind(listener.Get(), reinterpret_cast<const sockaddr*>(&boundAddress),
            sizeof(boundAddress))
            != 0
        || listen(listener.Get(), 8) != 0 || rename(boundPath.c_str(), path.c_str()) != 0) {
        (void)unlink(boundPath.c_str());
        return;
    }
    listenDescriptor = listener.Release();
    stopDescriptor = stopWrite.Release();
    socketPath = path;
    thread = std::thread([this, listening = listenDescriptor, stopRead = stopRead.Release()] {
        Descriptor stop(stopRead);
        for (;;) {
            pollfd waiting[2] = {{listening, POLLIN, 0}, {stop.Get(), POLLIN, 0}};
            // Unbounded: StopListening wakes it through the pipe.
            if (poll(waiting, 2, -1) < 0 && errno != EINTR)
                return;
            if (waiting[1].revents != 0)
                return;
            if ((waiting[0].revents & POLLIN) == 0)
                continue;
            Descriptor connection(accept4(listening, nullptr, nullptr, SOCK_CLOEXEC));
            if (connection.Get() >= 0)
                Answer(connection.Get());
        }
    });
}

void DropExchange::StopListening()
{
    std::thread ending;
    int listenerToClose = -1;
    int stopToClose = -1;
    {
        std::lock_guard guard(lock);
        if (listeners == 0 || --listeners > 0)
            return;
        if (listenDescriptor < 0)
            return;
        (void)unlink(socketPath.c_str());
        const char wake = 0;
        (void)write(stopDescriptor, &wake, 1);
        ending = std::move(thread);
        listenerToClose = listenDescriptor;
        stopToClose = stopDescriptor;
        listenDescriptor = -1;
        stopDescriptor = -1;
        socketPath.clear();
    }
    // Outside the lock: the thread ends after the offer it is answering, if any.
    ending.join();
    close(listenerToClose);
    close(stopToClose);
}

bool DropExchange::IsListening() const
{
    std::lock_guard guard(lock);
    return listenDescriptor >= 0;
}

void DropExchange::Answer(int connection)
{
    SetTimeOuts(connection);
    OfferHeader header;
    if (!ReceiveAll(connection, &header, sizeof(header)) || header.magic != OFFER_MAGIC
        || header.size > MAX_ARCHIVE_SIZE) {
        return;
    }
    std::vector<char> flat(header.size);
    if (!ReceiveAll(connection, flat.data(), flat.size()))
        return;
    uint8 answer = 0;
    BMessage message;
    const BPoint where(header.x, header.y);
    if (message.Unflatten(flat.data(), flat.size()) == B_OK) {
        const BMessenger target = Display().WindowAt(where);
        if (target.IsValid()) {
            kits::app::MarkDropped(message, where, BPoint(header.offsetX, header.offsetY));
            answer = target.SendMessage(&message) == B_OK ? 1 : 0;
        }
    }
    (void)SendAll(connection, &answer, sizeof(answer));
}

bool DropExchange::Offer(const BMessage& message, BPoint screenPoint, BPoint offset)
{
    const std::string folder = Folder();
    const ssize_t size = message.FlattenedSize();
    if (folder.empty() || size <= 0 || uint32(size) > MAX_ARCHIVE_SIZE)
        return false;
    std::vector<char> flat(static_cast<size_t>(size));
    if (message.Flatten(flat.data(), size) != B_OK)
        return false;
    const OfferHeader header{OFFER_MAGIC, screenPoint.x, screenPoint.y, offset.x, offset.y,
        uint32(size)};
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::filesystem::path& path = entry->path();
        const pid_t peer = PeerId(path.filename().string());
        if (peer == 0 || peer == getpid())
            continue;
        if (kill(peer, 0) != 0 && errno == ESRCH) {
            // Left behind by a process that ended without stopping.
            (void)unlink(path.c_str());
            continue;
        }
        if (OfferTo(path.string(), header, flat))
            return true;
    }
    return false;
}

void DeliverDrop(BMessage message, BPoint screenPoint, BPoint offset)
{
    kits::app::MarkDropped(message, screenPoint, offset);
    // Through the target's looper, also when it is the dragging window: the drop is handled
    // after the release, never inside the dragging view's hooks.
    const BMessenger target = Display().WindowAt(screenPoint);
    if (target.IsValid()) {
        (void)target.SendMessage(&message);
        return;
    }
    // Perhaps a shelf of another of our programs lies there; otherwise the drop is lost on the
    // desktop.
    (void)Drops().Offer(message, screenPoint, offset);
}

DropExchange& Drops()
{
    static DropExchange exchange;
    return exchange;
}

}
