#pragma once
// BView: a rectangle of a window that draws itself, with child views inside it.

#include "kits/app/Handler.h"
#include "kits/interface/Font.h"
#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/Rect.h"

#include <memory>
#include <vector>

class BBitmap;
class BMessage;
class BShelf;
class BWindow;

namespace kits::interface {
class ClipRegion;
}

// Resizing modes: four 4-bit rules, from the most significant: the top edge, the left edge, the
// bottom edge and the right edge, each naming the parent edge it keeps its distance from
// (1 top, 2 left, 3 bottom, 4 right) or 5 for staying centred. 0 keeps a left or top distance.
enum : uint32 {
    B_FOLLOW_NONE = 0,
    B_FOLLOW_LEFT = 0x0202,
    B_FOLLOW_RIGHT = 0x0404,
    B_FOLLOW_LEFT_RIGHT = 0x0204,
    B_FOLLOW_H_CENTER = 0x0505,
    B_FOLLOW_TOP = 0x1010,
    B_FOLLOW_BOTTOM = 0x3030,
    B_FOLLOW_TOP_BOTTOM = 0x1030,
    B_FOLLOW_V_CENTER = 0x5050,
    B_FOLLOW_ALL_SIDES = 0x1234,
    B_FOLLOW_ALL = B_FOLLOW_ALL_SIDES,
};

// View flags.
enum : uint32 {
    B_FULL_UPDATE_ON_RESIZE = 0x80000000,
    B_WILL_DRAW = 0x20000000,
    B_PULSE_NEEDED = 0x04000000,
    B_NAVIGABLE_JUMP = 0x02000000,
    B_FRAME_EVENTS = 0x01000000,
    B_NAVIGABLE = 0x00800000,
};

// Where the pointer is, for MouseMoved, relative to the view that tracks it.
enum : uint32 {
    B_ENTERED_VIEW = 0,
    B_INSIDE_VIEW = 1,
    B_EXITED_VIEW = 2,
    B_OUTSIDE_VIEW = 3,
};

// A view is created alone and joins a tree with AddChild; attached to a window, its hooks run on
// the window's thread with the window locked, and every other call on it (drawing included) must
// be made with the window locked, from any thread: a thread that draws video into a view locks
// the view's window around the drawing. A view that belongs to no window may be used by the one
// thread that owns it.
//
// Drawing goes straight into the window's frame buffer, clipped to the view, to its ancestors, and
// away from its shown child views and from shown views in front of it (later siblings of it and of
// its ancestors): a child view shown over a moving picture stays on top of it. Drawing into a view
// without a window or a hidden view does nothing. Coordinates are the view's own, with (0, 0) at
// its top-left corner; rectangles have inclusive edges.
class BView : public BHandler {
public:
    // frame is in the coordinates of the parent-to-be.
    BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    // Rebuilds a view from what Archive wrote: "_frame", "_name", "_resize_mode", "_flags",
    // "_color" (high, low and view colour), "_fflt" (font size) and the children in "_views",
    // each rebuilt with instantiate_object (one that cannot be, or is no view, is left out). A
    // missing or damaged field keeps its default: frame (0, 0, 0, 0), B_FOLLOW_NONE, no flags,
    // the usual colours and font.
    explicit BView(BMessage* archive);
    // Deletes the children. A view deleted while it has a parent leaves the parent first.
    ~BView() override;

    // Takes ownership of child and puts it in front of its siblings, or just behind `before`
    // (a child of this view). Refused, with the caller keeping the child, for a null child, one
    // that already has a parent, this view itself or an ancestor. Attaching to a window calls
    // AttachedToWindow on the child and its descendants, parents first.
    void AddChild(BView* child, BView* before = nullptr);
    // Gives child back to the caller, detached from the window (DetachedFromWindow on it and its
    // descendants, parents first). False when child is not a child of this view.
    bool RemoveChild(BView* child);
    // RemoveChild on the parent; the caller takes ownership. False without a parent.
    bool RemoveSelf();
    int32 CountChildren() const;
    // Null when index is out of range.
    BView* ChildAt(int32 index) const;
    BView* Parent() const;
    // The first view of this name among the descendants, depth first; null if none.
    BView* FindView(const char* name) const;
    BView* NextSibling() const;
    BView* PreviousSibling() const;
    BWindow* Window() const;

    // (0, 0, frame width, frame height).
    BRect Bounds() const;
    // In the parent's coordinates.
    BRect Frame() const;
    // In the parent's coordinates. Moving calls FrameMoved, resizing FrameResized with the new
    // bounds width and height, after the children have followed their resizing modes; both only
    // when something changed. The area left and entered is redrawn.
    void MoveTo(BPoint where);
    void MoveTo(float x, float y);
    void MoveBy(float dx, float dy);
    void ResizeTo(float width, float height);
    void ResizeBy(float dWidth, float dHeight);
    uint32 ResizingMode() const;
    void SetResizingMode(uint32 mode);
    uint32 Flags() const;
    void SetFlags(uint32 flags);

    BPoint ConvertToParent(BPoint point) const;
    BPoint ConvertFromParent(BPoint point) const;
    // Window content coordinates plus the window's frame; without a window, the window part is
    // left out.
    BPoint ConvertToScreen(BPoint point) const;
    BPoint ConvertFromScreen(BPoint point) const;
    void ConvertToScreen(BPoint* point) const;

    // Hide and Show nest: each Hide() needs one Show() before the view shows again; Show() on a
    // shown view does nothing. A view is hidden while it or an ancestor is hidden.
    virtual void Show();
    virtual void Hide();
    bool IsHidden() const;

    // High colour: drawing with B_SOLID_HIGH (black at first). Low colour: B_SOLID_LOW (white).
    // View colour: what the view's area is cleared to before Draw (white). Alpha is kept but
    // does not blend.
    void SetHighColor(rgb_color color);
    void SetHighColor(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255);
    rgb_color HighColor() const;
    void SetLowColor(rgb_color color);
    void SetLowColor(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255);
    rgb_color LowColor() const;
    void SetViewColor(rgb_color color);
    void SetViewColor(uint8 red, uint8 green, uint8 blue, uint8 alpha = 255);
    rgb_color ViewColor() const;

    void FillRect(BRect rect, const pattern& fill = B_SOLID_HIGH);
    // The one-pixel outline just inside rect.
    void StrokeRect(BRect rect, const pattern& stroke = B_SOLID_HIGH);
    // A one-pixel line between the pixels nearest to both ends, both included; the pen moves to
    // end. The one-point form starts at the pen.
    void StrokeLine(BPoint start, BPoint end, const pattern& stroke = B_SOLID_HIGH);
    void StrokeLine(BPoint end, const pattern& stroke = B_SOLID_HIGH);
    // The pixels whose centres lie inside the triangle or on its edges.
    void FillTriangle(BPoint p1, BPoint p2, BPoint p3, const pattern& fill = B_SOLID_HIGH);
    // Arcs of the ellipse around center with the radii given, or of the ellipse inscribed in
    // rect (its centre, half its width and half its height as radii). Angles are in degrees,
    // counter-clockwise from the positive x axis (up on screen is 90); the arc runs from
    // startAngle over arcAngle, clockwise when arcAngle is negative, the whole ellipse from 360
    // on. FillArc covers the pixels whose centres lie in the sector, its bounding rays and the
    // centre included; StrokeArc the one-pixel outline of the ellipse just inside its edge, where
    // it lies within the angles. Negative radii draw nothing.
    void FillArc(BPoint center, float xRadius, float yRadius, float startAngle, float arcAngle,
        const pattern& fill = B_SOLID_HIGH);
    void FillArc(BRect rect, float startAngle, float arcAngle, const pattern& fill = B_SOLID_HIGH);
    void StrokeArc(BPoint center, float xRadius, float yRadius, float startAngle, float arcAngle,
        const pattern& stroke = B_SOLID_HIGH);
    void StrokeArc(BRect rect, float startAngle, float arcAngle,
        const pattern& stroke = B_SOLID_HIGH);
    // A line array: up to count lines, each drawn as StrokeLine draws one but in its own solid
    // colour, all at once by EndLineArray; the pen and the high colour stay as they are. Lines
    // past count, and lines added with no array begun, are dropped; a second BeginLineArray
    // drops the lines of the first.
    void BeginLineArray(int32 count);
    void AddLine(BPoint start, BPoint end, rgb_color color);
    void EndLineArray();
    // The whole bitmap scaled into destination, nearest pixel (see kits/interface/DrawBitmap.h):
    // a destination BRect(0, 0, 767, 431) covers 768 by 432 pixels. A source rectangle (in the
    // bitmap's pixels) is clipped to the bitmap first, and what is left fills the destination.
    // Colour spaces that bitmaps_support_space refuses draw nothing.
    void DrawBitmap(const BBitmap* bitmap, BRect destination);
    void DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination);

    // The font text is measured and drawn with; be_plain_font at first. mask picks what is
    // copied: B_FONT_FAMILY_AND_STYLE, B_FONT_SIZE and B_FONT_FACE (the rest changes nothing).
    void SetFont(const BFont* font, uint32 mask = B_FONT_ALL);
    void GetFont(BFont* font) const;
    void SetFontSize(float size);
    float StringWidth(const char* string) const;
    // Where DrawString without a location starts; (0, 0) at first.
    void MovePenTo(BPoint where);
    void MovePenTo(float x, float y);
    BPoint PenLocation() const;
    // Draws UTF-8 text in the high colour, anti-aliased over what is there, the start of its
    // baseline at the pen (or at location, where the pen moves first); the pen then moves to the
    // end of the text, also when nothing could be drawn.
    void DrawString(const char* string);
    void DrawString(const char* string, BPoint location);

    // Asks for the area to be redrawn: the window's thread clears it to the view colours and
    // calls Draw for each view in it, soon after.
    void Invalidate();
    void Invalidate(BRect rect);

    // Starts dragging a copy of message: the drag follows the pointer while a button is held,
    // and where the buttons are released the message is delivered, marked as dropped (see
    // BMessage::DropPoint), to the view under the pointer in whichever window of this process
    // lies there, through that window's looper; with no window there, it is offered to our
    // other programs' shelves and otherwise dropped. dragRect, in this view's coordinates, is
    // what is dragged: the drop offset is the pointer's distance from its top-left. Only for a
    // view in a window, with the window locked; a drag already under way is replaced.
    void DragMessage(BMessage* message, BRect dragRect);

    // Adds the class name, "_name", "_frame", "_resize_mode", "_flags", "_color" and "_fflt";
    // with deep, the archives of the children in "_views", leaving out a child whose Archive
    // fails. B_BAD_VALUE for a null archive.
    status_t Archive(BMessage* archive, bool deep = true) const override;
    // A BView from an archive whose "class" names BView; null otherwise.
    static BArchivable* Instantiate(BMessage* archive);

    // Gives the keyboard focus to this view (or takes it away): key presses of the window are
    // passed to the focus view's KeyDown. Only for a view in a window. The view that had the
    // focus is told first, through its MakeFocus(false).
    virtual void MakeFocus(bool focus = true);
    bool IsFocus() const;

    // Hooks, on the window's thread with the window locked.
    // updateRect bounds the area to draw, in view coordinates; drawing is clipped to it.
    // Called only for views with B_WILL_DRAW. Default: nothing.
    virtual void Draw(BRect updateRect);
    virtual void AttachedToWindow();
    virtual void DetachedFromWindow();
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);
    // A mouse button went down over the view; where is in view coordinates, and the window's
    // current message holds "buttons" (int32).
    virtual void MouseDown(BPoint where);
    // A mouse button went up. Goes to the view that had the press while buttons were held,
    // else to the view under the pointer; where is in view coordinates.
    virtual void MouseUp(BPoint where);
    // The pointer moved: to the view that had the press while buttons are held (transit
    // B_INSIDE_VIEW or B_OUTSIDE_VIEW), else to the view under it (B_INSIDE_VIEW). dragMessage
    // is the message being dragged in this window, or null; owned by the window.
    virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
    // A key press for the focus view: bytes is the UTF-8 text of the key.
    virtual void KeyDown(const char* bytes, int32 numBytes);
    // A dropped message that the view does not handle goes on to its parent view (to the
    // parent's shelf first, if it has one), and from the top view to the window.
    void MessageReceived(BMessage* message) override;

private:
    friend class BWindow;
    friend class BShelf;

    // Gives a dropped message to view's shelf, if it has one, else to view.
    static void DeliverDropped(BView* view, BMessage* message);

    // Sets the window of this view and its descendants, adding or removing them as handlers of
    // its looper and calling the hooks.
    void Attach(BWindow* newWindow);
    void Detach();
    // The top-left of the parent in window coordinates (0, 0 for the top view).
    BPoint ParentOrigin() const;
    // Frame in window coordinates.
    BRect WindowFrame() const;
    // The pixels this view may draw on, in window coordinates: see the class comment.
    kits::interface::ClipRegion VisibleRegion() const;
    // The pixels drawing may touch now, and the offset from view to window coordinates; false
    // when nothing may be drawn.
    bool PrepareDrawing(kits::interface::ClipRegion& clip, BPoint& origin) const;
    void FillClipped(const kits::interface::ClipRegion& clip, BRect rect, BPoint origin,
        const pattern& fill);
    // The pixels of the ellipse, and of its outline only when outline, within the angles.
    void DrawArc(BPoint center, float xRadius, float yRadius, float startAngle, float arcAngle,
        bool outline, const pattern& fill);
    // Follows the parent's change of size by this view's resizing mode.
    void ParentResized(float dWidth, float dHeight);
    void SetFrame(BRect newFrame);
    // Own hide count only, ignoring ancestors.
    bool IsHiddenItself() const;
    // The deepest shown view under point (in this view's coordinates), or null.
    BView* ViewAt(BPoint point);

    BRect frame;
    uint32 resizingMode;
    uint32 flags;
    int32 hideCount = 0;
    rgb_color highColor = {0, 0, 0, 255};
    rgb_color lowColor = {255, 255, 255, 255};
    rgb_color viewColor = {255, 255, 255, 255};
    BFont font = *be_plain_font;
    BPoint penLocation;
    BView* parent = nullptr;
    BWindow* window = nullptr;
    // Front-most last.
    std::vector<std::unique_ptr<BView>> children;
    // The shelf that takes drops on this view; not owned.
    BShelf* shelf = nullptr;
    struct ArrayLine {
        BPoint start;
        BPoint end;
        rgb_color color;
    };
    // The lines of the array begun, drawn by EndLineArray; lineArrayRoom is how many more it
    // takes, -1 while no array is begun.
    std::vector<ArrayLine> lineArray;
    int32 lineArrayRoom = -1;
};
