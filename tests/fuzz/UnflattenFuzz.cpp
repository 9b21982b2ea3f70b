// Feeds arbitrary bytes to the message reader, from memory and from a stream, and checks that
// whatever it accepts flattens to bytes that read back to the same message.

#include "kits/app/Flattening.h"
#include "kits/app/Message.h"
#include "kits/storage/MallocIO.h"

#include <cstdlib>
#include <vector>

namespace {

using kits::app::ByteOrder;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<uint8> Flatten(const BMessage& message, ByteOrder order)
{
    std::vector<uint8> flat;
    Check(kits::app::FlattenMessage(message, order, flat) == B_OK);
    Check(flat.size() == size_t(message.FlattenedSize()));
    return flat;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BMessage message;
    ByteOrder order = ByteOrder::LittleEndian;
    size_t used = 0;
    status_t status = kits::app::UnflattenMessage(data, size, message, &order, &used);

    BMallocIO stream;
    Check(stream.WriteExactly(data, size) == B_OK);
    Check(stream.Seek(0, SEEK_SET) == 0);
    BMessage streamed;
    status_t streamStatus = kits::app::UnflattenMessage(stream, streamed);
    // Both readers see the same bytes, so they must agree.
    Check(status == streamStatus);
    if (status != B_OK)
        return 0;
    Check(used <= size);
    Check(stream.Position() == off_t(used));

    std::vector<uint8> flat = Flatten(message, order);
    Check(Flatten(streamed, order) == flat);
    BMessage again;
    ByteOrder againOrder = ByteOrder::LittleEndian;
    Check(kits::app::UnflattenMessage(flat.data(), flat.size(), again, &againOrder) == B_OK);
    Check(againOrder == order);
    Check(Flatten(again, order) == flat);
    // The other byte order holds the same message.
    ByteOrder other = order == ByteOrder::LittleEndian ? ByteOrder::BigEndian
                                                        : ByteOrder::LittleEndian;
    BMessage swapped;
    std::vector<uint8> otherFlat = Flatten(message, other);
    Check(kits::app::UnflattenMessage(otherFlat.data(), otherFlat.size(), swapped) == B_OK);
    Check(Flatten(swapped, order) == flat);
    return 0;
}
