#pragma once
// X11Presenter: window pixels in memory the X server reads, put on screen without a copy.

#include "kits/interface/FrameBuffer.h"

#include <memory>
#include <vector>

// Xlib's Display, without Xlib's header.
struct _XDisplay;

namespace kits::interface {

// Hands out pixel memory in shared memory segments that the X server attaches (MIT-SHM), and
// puts rows of it on X windows: the server reads the pixels straight from the memory the window
// drew into. It has a connection of its own, so that the thread that drew can put the pixels at
// once; errors on it are dropped (a window may be destroyed by SDL's connection while a put is
// on its way). Open, NewPixels and IsShared may be called on any thread; the other members on
// one thread at a time (the caller serialises them).
class X11Presenter {
public:
    // Null unless the X server that DISPLAY names attaches a segment of ours (it runs on this
    // machine and has MIT-SHM) and its screen shows B_RGB32 words as they are; also when the
    // environment sets OVELIN_X11_SHARED_MEMORY to "0" (windows are then shown as on a remote
    // server).
    static std::unique_ptr<X11Presenter> Open();
    ~X11Presenter();

    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // Memory for count pixels in a segment of its own; null when none can be had. The segment
    // is gone once the memory and the server have let it go, also when the process dies.
    static std::shared_ptr<PixelMemory> NewPixels(size_t count);
    // Whether the memory came from NewPixels.
    static bool IsShared(const PixelMemory& memory);

    // Whether the window shows B_RGB32 words as they are (its visual is the screen's), asked on
    // the connection that made it, so that the server knows it already.
    static bool CanShow(_XDisplay* owner, unsigned long window);
    // Puts rows top to bottom of a width by height picture held in memory onto the window, the
    // picture's top left corner at (x, y), attaching the memory to the server first; the
    // request is sent before the call returns. B_NO_MEMORY or B_ERROR when the server refuses
    // the memory.
    [[nodiscard]] status_t Put(unsigned long window, const std::shared_ptr<PixelMemory>& memory,
        int32 width, int32 height, int32 top, int32 bottom, int32 x, int32 y);
    // Lets the server go of the memory that nothing else holds any more (all of it when all
    // is true).
    void Release(bool all = false);
    // Waits until the server has handled every put.
    void Sync();

private:
    struct Attached;
    struct Connection;
    explicit X11Presenter(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> connection;
    std::vector<std::unique_ptr<Attached>> attached;
    // The context puts are drawn with, made on the first put.
    void* context = nullptr;
};

}
