#pragma once
// Colours and drawing shared by the kit's controls and list view; kit-private.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/Rect.h"

class BMessage;
class BView;

namespace kits::interface {

// What a focused control marks itself with.
inline constexpr rgb_color NAVIGATION_COLOR = {0, 0, 229, 255};
// The face of controls and the panels they sit on.
inline constexpr rgb_color PANEL_COLOR = {216, 216, 216, 255};
inline constexpr rgb_color SHADOW_COLOR = {152, 152, 152, 255};
inline constexpr rgb_color INNER_SHADOW_COLOR = {200, 200, 200, 255};
inline constexpr rgb_color DARK_SHADOW_COLOR = {96, 96, 96, 255};
inline constexpr rgb_color LIGHT_COLOR = {255, 255, 255, 255};
inline constexpr rgb_color TEXT_COLOR = {0, 0, 0, 255};
inline constexpr rgb_color DISABLED_TEXT_COLOR = {128, 128, 128, 255};

// A sunken frame on rect's edge pixels, with an inner shadow above and left.
void StrokeSunken(BView& view, BRect rect);
// A raised frame: light above and left, shadow below and right, a dark outline around.
void StrokeRaised(BView& view, BRect rect);

// Where the box of a labelled control begins by default: after the label and a gap, or at 0
// without a label.
float LabelDivider(const char* label);
// The baseline that centres a line of the view's font in its bounds.
float CentredBaseline(const BView& view);

// The colour a box or label takes on: its parent's view colour, or the panel colour when it
// stands directly in a window.
rgb_color ParentPanelColor(const BView& view);

// Adds "when" (system time) and "source" (the sender) to a message about to be sent.
void AddInvokeFields(BMessage& message, const void* source);

// How many clicks the window's current mouse message counts; 1 when it says nothing.
int32 CurrentClicks(const BView& view);

}
