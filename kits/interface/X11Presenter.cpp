// Lock order: only the error trap's mutex, taken while memory is attached.
#include "kits/interface/X11Presenter.h"

#include "kits/interface/X11Private.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace kits::interface {

namespace {

// A segment of our own, removed at once: it goes when the last process detaches it (Linux lets
// the server attach a removed segment), so it never outlives us and the server.
class SharedMemory : public PixelMemory {
public:
    SharedMemory(int id, uint32* pixels)
        : PixelMemory(pixels),
          id(id)
    {
    }
    ~SharedMemory() override { shmdt(Pixels()); }

    const int id;
};

// The server's read-only view of a segment of ours.
XShmSegmentInfo SegmentOf(const SharedMemory& memory)
{
    XShmSegmentInfo segment{};
    segment.shmid = memory.id;
    segment.shmaddr = reinterpret_cast<char*>(memory.Pixels());
    segment.readOnly = True;
    return segment;
}

// Has the server attach the segment; what it answered as a status.
status_t AttachSegment(::Display* display, XShmSegmentInfo& segment)
{
    ErrorTrap trap(display);
    XShmAttach(display, &segment);
    return trap.Finish();
}

// The byte order of our words in memory, as Xlib names it.
constexpr int NATIVE_ORDER = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

// Whether a visual of this depth shows B_RGB32 words (blue in the lowest byte) as they are. SDL
// gives its windows a direct-colour visual where there is one, with colour maps that leave the
// pixels as they are, as its own surfaces need.
bool ShowsWords(::Display* display, const Visual* visual, int depth)
{
    if ((depth != 24 && depth != 32) || visual == nullptr
        || (visual->c_class != TrueColor && visual->c_class != DirectColor)
        || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00
        || visual->blue_mask != 0xFF || ImageByteOrder(display) != NATIVE_ORDER) {
        return false;
    }
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool found = false;
    for (int i = 0; i < count; i++)
        found = found || (formats[i].depth == depth && formats[i].bits_per_pixel == 32);
    XFree(formats);
    return found;
}

}

struct X11Presenter::Connection {
    std::unique_ptr<::Display, DisplayClose> display;
};

struct X11Presenter::Attached {
    std::shared_ptr<PixelMemory> memory;
    XShmSegmentInfo segment{};
    XImage* image = nullptr;

    ~Attached()
    {
        if (image != nullptr) {
            // The pixels are the memory's, not Xlib's to free.
            image->data = nullptr;
            XDestroyImage(image);
        }
    }
};

std::unique_ptr<X11Presenter> X11Presenter::Open()
{
    if (const char* setting = std::getenv("OVELIN_X11_SHARED_MEMORY");
        setting != nullptr && std::strcmp(setting, "0") == 0) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->display.reset(XOpenDisplay(nullptr));
    ::Display* display = connection->display.get();
    if (display == nullptr || !XShmQueryExtension(display))
        return nullptr;
    const int screen = DefaultScreen(display);
    if (!ShowsWords(display, DefaultVisual(display, screen), DefaultDepth(display, screen)))
        return nullptr;
    // A server on another machine, or one that may not read our memory, refuses it.
    const std::shared_ptr<PixelMemory> probe = NewPixels(1);
    if (probe == nullptr)
        return nullptr;
    XShmSegmentInfo segment = SegmentOf(static_cast<const SharedMemory&>(*probe));
    if (AttachSegment(display, segment) != B_OK)
        return nullptr;
    XShmDetach(display, &segment);
    XSync(display, False);
    IgnoreErrorsOf(display);
    return std::unique_ptr<X11Presenter>(new X11Presenter(std::move(connection)));
}

X11Presenter::X11Presenter(std::unique_ptr<Connection> connection)
    : connection(std::move(connection))
{
}

X11Presenter::~X11Presenter()
{
    Release(true);
}

std::shared_ptr<PixelMemory> X11Presenter::NewPixels(size_t count)
{
    const int id
        = shmget(IPC_PRIVATE, std::max<size_t>(count, 1) * sizeof(uint32), IPC_CREAT | 0600);
    if (id < 0)
        return nullptr;
    void* address = shmat(id, nullptr, 0);
    shmctl(id, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1))
        return nullptr;
    return std::make_shared<SharedMemory>(id, static_cast<uint32*>(address));
}

bool X11Presenter::IsShared(const PixelMemory& memory)
{
    return dynamic_cast<const SharedMemory*>(&memory) != nullptr;
}

bool X11Presenter::CanShow(::Display* owner, unsigned long window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(owner, window, &attributes) != 0
        && ShowsWords(owner, attributes.visual, attributes.depth);
}

status_t X11Presenter::Put(unsigned long window, const std::shared_ptr<PixelMemory>& memory,
    int32 width, int32 height, int32 top, int32 bottom, int32 x, int32 y)
{
    ::Display* display = connection->display.get();
    auto found = std::find_if(attached.begin(), attached.end(),
        [&](const std::unique_ptr<Attached>& a) { return a->memory == memory; });
    if (found == attached.end()) {
        const auto* shared = dynamic_cast<const SharedMemory*>(memory.get());
        if (shared == nullptr)
            return B_BAD_VALUE;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, window, &attributes) == 0)
            return B_ERROR;
        auto entry = std::make_unique<Attached>();
        entry->memory = memory;
        entry->segment = SegmentOf(*shared);
        entry->image = XShmCreateImage(display, attributes.visual, uint32(attributes.depth),
            ZPixmap, entry->segment.shmaddr, &entry->segment, uint32(width), uint32(height));
        if (entry->image == nullptr || entry->image->bytes_per_line != width * 4)
            return B_ERROR;
        if (status_t status = AttachSegment(display, entry->segment); status != B_OK)
            return status;
        found = attached.insert(attached.end(), std::move(entry));
    }
    if ((*found)->image->width != width || (*found)->image->height != height)
        return B_BAD_VALUE;
    if (context == nullptr)
        context = XCreateGC(display, window, 0, nullptr);
    XShmPutImage(display, window, static_cast<GC>(context), (*found)->image, 0, top, x, y + top,
        uint32(width), uint32(bottom - top + 1), False);
    XFlush(display);
    return B_OK;
}

void X11Presenter::Release(bool all)
{
    ::Display* display = connection->display.get();
    // Sent after the puts that read the memory, so the server reads it before it lets go.
    const auto unused = [&](const std::unique_ptr<Attached>& a) {
        if (!all && a->memory.use_count() > 1)
            return false;
        XShmDetach(display, &a->segment);
        return true;
    };
    attached.erase(std::remove_if(attached.begin(), attached.end(), unused), attached.end());
    if (all && context != nullptr) {
        XFreeGC(display, static_cast<GC>(context));
        context = nullptr;
    }
    XFlush(display);
}

void X11Presenter::Sync()
{
    XSync(connection->display.get(), False);
}

}
