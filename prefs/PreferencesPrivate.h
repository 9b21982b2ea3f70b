#pragma once
// Helpers the preferences window's pages share (Preferences.cpp defines them).

#include "kits/interface/Window.h"
#include "kits/kernel/Rect.h"
#include "kits/kernel/SupportDefs.h"

class BBox;

namespace prefs {

// What read answers with the window locked.
template <typename Read>
auto Locked(BWindow& window, Read read)
{
    struct Unlocker {
        BWindow& window;
        ~Unlocker() { window.Unlock(); }
    };
    window.Lock();
    const Unlocker unlocker{window};
    return read();
}

// A fancy-bordered box without a name, added to page.
BBox* AddBox(BView* page, BRect frame, const char* label);

// Whether name begins with prefix: nodes may add to their parameters' and groups' names.
bool HasPrefix(const char* name, const char* prefix);

// value truncated toward zero, held within int32 (NaN gives 0): parameter ranges and values
// come from the nodes and may be anything.
int32 Truncated(double value);

// How far position lies between low and high, in per cent, truncated and held within 0 to 100;
// 0 for an empty range.
int32 PerCent(double position, double low, double high);

}
