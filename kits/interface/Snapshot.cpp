#include "kits/interface/Snapshot.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

namespace kits::interface {

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Owns a libpng write structure and its info structure.
class PngWriter {
public:
    PngWriter()
    {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (png != nullptr)
            info = png_create_info_struct(png);
    }
    ~PngWriter() { png_destroy_write_struct(&png, info != nullptr ? &info : nullptr); }

    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    bool IsValid() const { return png != nullptr && info != nullptr; }

    png_structp png = nullptr;
    png_infop info = nullptr;
};

// libpng reports errors by longjmp; nothing with a destructor may live in this frame.
bool Encode(PngWriter& writer, FILE* file, const FrameBuffer& buffer, png_bytep* rows)
{
    if (setjmp(png_jmpbuf(writer.png)) != 0)
        return false;
    png_init_io(writer.png, file);
    png_set_IHDR(writer.png, writer.info, png_uint_32(buffer.Width()),
        png_uint_32(buffer.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.png, writer.info);
    png_write_image(writer.png, rows);
    png_write_end(writer.png, nullptr);
    return true;
}

}

status_t WriteSnapshot(const FrameBuffer& buffer, const char* hostPath)
{
    if (hostPath == nullptr)
        return B_BAD_VALUE;
    if (buffer.Width() == 0 || buffer.Height() == 0)
        return B_NO_INIT;
    // Convert to packed R, G, B bytes up front, so that the encoding frame holds plain pointers.
    const size_t rowBytes = size_t(buffer.Width()) * 3;
    std::vector<png_byte> pixels(rowBytes * size_t(buffer.Height()));
    std::vector<png_bytep> rows(size_t(buffer.Height()));
    for (int32 y = 0; y < buffer.Height(); y++) {
        const uint32* in = buffer.Row(y);
        png_bytep out = pixels.data() + rowBytes * size_t(y);
        rows[size_t(y)] = out;
        for (int32 x = 0; x < buffer.Width(); x++) {
            out[3 * x] = png_byte(in[x] >> 16);
            out[3 * x + 1] = png_byte(in[x] >> 8);
            out[3 * x + 2] = png_byte(in[x]);
        }
    }
    PngWriter writer;
    if (!writer.IsValid())
        return B_NO_MEMORY;
    bool written;
    {
        std::unique_ptr<FILE, FileCloser> file(std::fopen(hostPath, "wb"));
        if (file == nullptr)
            return status_for_errno(errno);
        written = Encode(writer, file.get(), buffer, rows.data());
        written = std::fflush(file.get()) == 0 && written;
    }
    if (!written) {
        std::remove(hostPath);
        return B_IO_ERROR;
    }
    return B_OK;
}

}
