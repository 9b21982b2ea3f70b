#pragma once
// FatalUnless: the kit's check for programmer errors that would corrupt shared state.

#include <cstdio>
#include <cstdlib>

namespace kits::media {

// Ends the process with `message` on standard error unless `holds`, in every build type: unlike
// assert, which NDEBUG compiles out, the check stays where going on would corrupt what other
// threads share.
inline void FatalUnless(bool holds, const char* message)
{
    if (holds)
        return;
    std::fprintf(stderr, "media kit: %s\n", message);
    std::abort();
}

} // namespace kits::media
