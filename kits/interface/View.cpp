#include "kits/interface/View.h"

#include "kits/app/Archivable.h"
#include "kits/app/Message.h"
#include "kits/interface/Bitmap.h"
#include "kits/interface/ClipRegion.h"
#include "kits/interface/DrawBitmap.h"
#include "kits/interface/Dragger.h"
#include "kits/interface/FontEngine.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/Shelf.h"
#include "kits/interface/Window.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

using kits::interface::ClipRegion;
using kits::interface::PixelRect;

namespace {

uint32 Pack(rgb_color color)
{
    return kits::interface::PackColor(color.red, color.green, color.blue);
}

bool IsSolid(const pattern& fill, uint8 value)
{
    return std::all_of(std::begin(fill.data), std::end(fill.data),
        [value](uint8 row) { return row == value; });
}

// The new position of one edge under its rule, given the parent's change of size on that axis.
float FollowEdge(float edge, uint32 rule, uint32 farRule, float delta)
{
    if (rule == farRule)
        return edge + delta;
    if (rule == 5)
        return edge + delta / 2;
    return edge;
}

// Archived coordinates beyond this are damage: they would overflow the pixel arithmetic.
constexpr float MAX_ARCHIVED_COORDINATE = 1000000;

bool IsSaneFrame(BRect rect)
{
    const float edges[] = {rect.left, rect.top, rect.right, rect.bottom};
    return rect.IsValid() && std::all_of(std::begin(edges), std::end(edges), [](float edge) {
        return std::isfinite(edge) && std::fabs(edge) <= MAX_ARCHIVED_COORDINATE;
    });
}

// Colours travel as 0xRRGGBBAA.
int32 ColorToInt(rgb_color color)
{
    return int32(uint32(color.red) << 24 | uint32(color.green) << 16 | uint32(color.blue) << 8
        | color.alpha);
}

rgb_color IntToColor(int32 value)
{
    const uint32 bits = uint32(value);
    return rgb_color{uint8(bits >> 24), uint8(bits >> 16), uint8(bits >> 8), uint8(bits)};
}

// Calls plot(x, y) for each pixel of the one-pixel line between the pixels nearest to start and
// end, both included, from start on.
template <typename Plot>
void WalkLine(BPoint start, BPoint end, Plot plot)
{
    int32 x = int32(std::lround(start.x));
    int32 y = int32(std::lround(start.y));
    const int32 x1 = int32(std::lround(end.x));
    const int32 y1 = int32(std::lround(end.y));
    const int32 dx = std::abs(x1 - x);
    const int32 dy = -std::abs(y1 - y);
    const int32 stepX = x < x1 ? 1 : -1;
    const int32 stepY = y < y1 ? 1 : -1;
    int32 error = dx + dy;
    for (;;) {
        plot(x, y);
        if (x == x1 && y == y1)
            break;
        const int32 twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
}

// The pixels of rect (offset by origin into window coordinates) that lie in clip, set from the
// pattern: a set bit takes high, a clear one low.
void PaintClipped(kits::interface::FrameBuffer& buffer, const ClipRegion& clip, BRect rect,
    BPoint origin, const pattern& fill, uint32 high, uint32 low)
{
    rect.OffsetBy(origin);
    const PixelRect pixels = kits::interface::ToPixels(rect);
    const bool solidHigh = IsSolid(fill, 0xFF);
    const bool solidLow = IsSolid(fill, 0x00);
    for (const PixelRect& part : clip.Rects()) {
        const PixelRect area = part.Intersection(pixels);
        if (area.IsEmpty())
            continue;
        if (solidHigh || solidLow) {
            buffer.Fill(area, solidHigh ? high : low);
            continue;
        }
        // The pattern is anchored to the window's top-left corner.
        for (int32 y = area.top; y <= area.bottom; y++) {
            uint32* row = buffer.Row(y);
            const uint8 bits = fill.data[y & 7];
            for (int32 x = area.left; x <= area.right; x++)
                row[x] = (bits & (0x80 >> (x & 7))) != 0 ? high : low;
        }
    }
}

// An ellipse and the angles of an arc of it, answering which pixel centres it covers.
class ArcShape {
public:
    ArcShape(BPoint center, float xRadius, float yRadius, float startAngle, float arcAngle)
        :
        center(center),
        xRadius(xRadius),
        yRadius(yRadius),
        whole(std::fabs(arcAngle) >= 360)
    {
        // A clockwise arc is the counter-clockwise one from its far end.
        start = std::fmod(arcAngle < 0 ? startAngle + arcAngle : startAngle, 360.0f);
        if (start < 0)
            start += 360;
        span = std::fabs(arcAngle);
    }

    // The ellipse's pixels, or only those of its outline: the ones with a side neighbour
    // outside, which makes the outline one pixel thin and without gaps.
    bool Covers(float x, float y, bool outline) const
    {
        if (!InEllipse(x, y))
            return false;
        if (outline && InEllipse(x - 1, y) && InEllipse(x + 1, y) && InEllipse(x, y - 1)
            && InEllipse(x, y + 1)) {
            return false;
        }
        return InAngles(x, y);
    }

private:
    // Tolerances that keep the centres lying on the edge or on a bounding ray.
    static constexpr float EDGE_TOLERANCE = 1e-4f;
    static constexpr float ANGLE_TOLERANCE = 1e-3f;

    // The squared distance along one axis in radii; a zero radius holds its own line only.
    static float AxisTerm(float distance, float radius)
    {
        if (distance == 0)
            return 0;
        if (radius <= 0)
            return 2;
        return (distance / radius) * (distance / radius);
    }

    bool InEllipse(float x, float y) const
    {
        return AxisTerm(x - center.x, xRadius) + AxisTerm(y - center.y, yRadius)
            <= 1 + EDGE_TOLERANCE;
    }

    // Angles are taken on the circle the ellipse is a stretch of, y pointing up.
    bool InAngles(float x, float y) const
    {
        const float u = xRadius > 0 ? (x - center.x) / xRadius : 0;
        const float v = yRadius > 0 ? (center.y - y) / yRadius : 0;
        if (whole || (u == 0 && v == 0))
            return true;
        const float angle = std::atan2(v, u) * 180.0f / std::numbers::pi_v<float>;
        float offset = std::fmod(angle - start, 360.0f);
        if (offset < 0)
            offset += 360;
        return offset <= span + ANGLE_TOLERANCE || offset >= 360 - ANGLE_TOLERANCE;
    }

    BPoint center;
    float xRadius;
    float yRadius;
    bool whole;
    // Degrees from 0 up to 360.
    float start;
    float span;
};

// The kit's own rebuildable classes are known to every program that has views, so that an
// archive from another program finds them.
[[maybe_unused]] const bool KIT_CLASSES_REGISTERED =
    register_instantiation_func("BView", BView::Instantiate) == B_OK
    && register_instantiation_func("BDragger", BDragger::Instantiate) == B_OK;

}

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BHandler(name),
    frame(frame),
    resizingMode(resizingMode),
    flags(flags)
{
}

BView::BView(BMessage* archive)
    :
    BHandler(archive),
    frame(0, 0, 0, 0),
    resizingMode(B_FOLLOW_NONE),
    flags(0)
{
    if (archive == nullptr)
        return;
    BRect archivedFrame;
    if (archive->FindRect("_frame", &archivedFrame) == B_OK && IsSaneFrame(archivedFrame))
        frame = archivedFrame;
    int32 value;
    if (archive->FindInt32("_resize_mode", &value) == B_OK)
        resizingMode = uint32(value);
    if (archive->FindInt32("_flags", &value) == B_OK)
        flags = uint32(value);
    if (archive->FindInt32("_color", 0, &value) == B_OK)
        highColor = IntToColor(value);
    if (archive->FindInt32("_color", 1, &value) == B_OK)
        lowColor = IntToColor(value);
    if (archive->FindInt32("_color", 2, &value) == B_OK)
        viewColor = IntToColor(value);
    float size;
    if (archive->FindFloat("_fflt", &size) == B_OK && std::isfinite(size))
        font.SetSize(size);
    BMessage childArchive;
    for (int32 i = 0; archive->FindMessage("_views", i, &childArchive) == B_OK; i++) {
        std::unique_ptr<BArchivable> object(instantiate_object(&childArchive));
        if (auto* child = dynamic_cast<BView*>(object.get()); child != nullptr) {
            object.release();
            AddChild(child);
        }
    }
}

BView::~BView()
{
    if (shelf != nullptr)
        shelf->ContainerGone();
    if (parent != nullptr) {
        // The parent holds this view in a unique_ptr: take it back from there first, so that
        // it does not delete this view a second time.
        parent->RemoveChild(this);
    }
    if (window != nullptr)
        Detach();
    std::vector<std::unique_ptr<BView>> owned;
    owned.swap(children);
    for (auto& child : owned)
        child->parent = nullptr;
}

void BView::AddChild(BView* child, BView* before)
{
    if (child == nullptr || child->parent != nullptr || child->window != nullptr)
        return;
    for (const BView* ancestor = this; ancestor != nullptr; ancestor = ancestor->parent) {
        if (ancestor == child)
            return;
    }
    auto position = std::find_if(children.begin(), children.end(),
        [before](const auto& existing) { return existing.get() == before; });
    if (before == nullptr)
        position = children.end();
    children.insert(position, std::unique_ptr<BView>(child));
    child->parent = this;
    if (window != nullptr) {
        child->Attach(window);
        if (!child->IsHidden())
            window->InvalidatePixels(kits::interface::ToPixels(child->WindowFrame()));
    }
}

bool BView::RemoveChild(BView* child)
{
    auto found = std::find_if(children.begin(), children.end(),
        [child](const auto& existing) { return existing.get() == child; });
    if (child == nullptr || found == children.end())
        return false;
    if (window != nullptr) {
        if (!child->IsHidden())
            window->InvalidatePixels(kits::interface::ToPixels(child->WindowFrame()));
        child->Detach();
    }
    found->release();
    children.erase(found);
    child->parent = nullptr;
    // The shelf forgets the child at once: a view made later at its address is no replicant.
    if (shelf != nullptr)
        shelf->Prune();
    return true;
}

bool BView::RemoveSelf()
{
    return parent != nullptr && parent->RemoveChild(this);
}

int32 BView::CountChildren() const
{
    return int32(children.size());
}

BView* BView::ChildAt(int32 index) const
{
    if (index < 0 || size_t(index) >= children.size())
        return nullptr;
    return children[size_t(index)].get();
}

BView* BView::Parent() const
{
    return parent;
}

BView* BView::FindView(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    for (const auto& child : children) {
        if (std::strcmp(child->Name(), name) == 0)
            return child.get();
        if (BView* found = child->FindView(name); found != nullptr)
            return found;
    }
    return nullptr;
}

BView* BView::NextSibling() const
{
    if (parent == nullptr)
        return nullptr;
    const auto& siblings = parent->children;
    for (size_t i = 0; i + 1 < siblings.size(); i++) {
        if (siblings[i].get() == this)
            return siblings[i + 1].get();
    }
    return nullptr;
}

BView* BView::PreviousSibling() const
{
    if (parent == nullptr)
        return nullptr;
    const auto& siblings = parent->children;
    for (size_t i = 1; i < siblings.size(); i++) {
        if (siblings[i].get() == this)
            return siblings[i - 1].get();
    }
    return nullptr;
}

BWindow* BView::Window() const
{
    return window;
}

void BView::Attach(BWindow* newWindow)
{
    window = newWindow;
    window->AddHandler(this);
    AttachedToWindow();
    // By index: a hook may add or remove children.
    for (size_t i = 0; i < children.size(); i++)
        children[i]->Attach(newWindow);
}

void BView::Detach()
{
    if (window->mouseView == this)
        window->mouseView = nullptr;
    DetachedFromWindow();
    for (size_t i = 0; i < children.size(); i++)
        children[i]->Detach();
    if (window->focus == this)
        window->SetFocus(nullptr);
    window->RemoveHandler(this);
    window = nullptr;
}

BRect BView::Bounds() const
{
    return BRect(0, 0, frame.Width(), frame.Height());
}

BRect BView::Frame() const
{
    return frame;
}

void BView::SetFrame(BRect newFrame)
{
    const BRect old = frame;
    if (newFrame == old)
        return;
    const bool visible = window != nullptr && !IsHidden();
    if (visible)
        window->InvalidatePixels(kits::interface::ToPixels(WindowFrame()));
    frame = newFrame;
    const float dWidth = newFrame.Width() - old.Width();
    const float dHeight = newFrame.Height() - old.Height();
    if (dWidth != 0 || dHeight != 0) {
        for (size_t i = 0; i < children.size(); i++)
            children[i]->ParentResized(dWidth, dHeight);
    }
    if (visible)
        window->InvalidatePixels(kits::interface::ToPixels(WindowFrame()));
    if (newFrame.LeftTop() != old.LeftTop())
        FrameMoved(newFrame.LeftTop());
    if (dWidth != 0 || dHeight != 0)
        FrameResized(newFrame.Width(), newFrame.Height());
}

void BView::ParentResized(float dWidth, float dHeight)
{
    const uint32 topRule = (resizingMode >> 12) & 0xF;
    const uint32 leftRule = (resizingMode >> 8) & 0xF;
    const uint32 bottomRule = (resizingMode >> 4) & 0xF;
    const uint32 rightRule = resizingMode & 0xF;
    BRect moved = frame;
    moved.left = FollowEdge(frame.left, leftRule, 4, dWidth);
    moved.right = FollowEdge(frame.right, rightRule, 4, dWidth);
    moved.top = FollowEdge(frame.top, topRule, 3, dHeight);
    moved.bottom = FollowEdge(frame.bottom, bottomRule, 3, dHeight);
    SetFrame(moved);
}

void BView::MoveTo(BPoint where)
{
    BRect moved = frame;
    moved.OffsetTo(where);
    SetFrame(moved);
}

void BView::MoveTo(float x, float y)
{
    MoveTo(BPoint(x, y));
}

void BView::MoveBy(float dx, float dy)
{
    MoveTo(frame.left + dx, frame.top + dy);
}

void BView::ResizeTo(float width, float height)
{
    SetFrame(BRect(frame.left, frame.top, frame.left + width, frame.top + height));
}

void BView::ResizeBy(float dWidth, float dHeight)
{
    ResizeTo(frame.Width() + dWidth, frame.Height() + dHeight);
}

uint32 BView::ResizingMode() const
{
    return resizingMode;
}

void BView::SetResizingMode(uint32 mode)
{
    resizingMode = mode;
}

uint32 BView::Flags() const
{
    return flags;
}

void BView::SetFlags(uint32 newFlags)
{
    flags = newFlags;
}

BPoint BView::ConvertToParent(BPoint point) const
{
    return point + frame.LeftTop();
}

BPoint BView::ConvertFromParent(BPoint point) const
{
    return point - frame.LeftTop();
}

BPoint BView::ConvertToScreen(BPoint point) const
{
    BPoint converted = point + ParentOrigin() + frame.LeftTop();
    if (window != nullptr)
        converted += window->Frame().LeftTop();
    return converted;
}

BPoint BView::ConvertFromScreen(BPoint point) const
{
    BPoint converted = point - ParentOrigin() - frame.LeftTop();
    if (window != nullptr)
        converted -= window->Frame().LeftTop();
    return converted;
}

void BView::ConvertToScreen(BPoint* point) const
{
    if (point != nullptr)
        *point = ConvertToScreen(*point);
}

BPoint BView::ParentOrigin() const
{
    BPoint origin;
    for (const BView* ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent)
        origin += ancestor->frame.LeftTop();
    return origin;
}

BRect BView::WindowFrame() const
{
    BRect rect = frame;
    rect.OffsetBy(ParentOrigin());
    return rect;
}

void BView::Show()
{
    if (hideCount == 0)
        return;
    hideCount--;
    if (hideCount == 0 && window != nullptr && !IsHidden())
        window->InvalidatePixels(kits::interface::ToPixels(WindowFrame()));
}

void BView::Hide()
{
    const bool wasShown = window != nullptr && !IsHidden();
    hideCount++;
    // The views behind show through where this one was.
    if (wasShown)
        window->InvalidatePixels(kits::interface::ToPixels(WindowFrame()));
}

bool BView::IsHidden() const
{
    for (const BView* view = this; view != nullptr; view = view->parent) {
        if (view->hideCount > 0)
            return true;
    }
    return false;
}

bool BView::IsHiddenItself() const
{
    return hideCount > 0;
}

void BView::SetHighColor(rgb_color color)
{
    highColor = color;
}

void BView::SetHighColor(uint8 red, uint8 green, uint8 blue, uint8 alpha)
{
    SetHighColor(rgb_color{red, green, blue, alpha});
}

rgb_color BView::HighColor() const
{
    return highColor;
}

void BView::SetLowColor(rgb_color color)
{
    lowColor = color;
}

void BView::SetLowColor(uint8 red, uint8 green, uint8 blue, uint8 alpha)
{
    SetLowColor(rgb_color{red, green, blue, alpha});
}

rgb_color BView::LowColor() const
{
    return lowColor;
}

void BView::SetViewColor(rgb_color color)
{
    viewColor = color;
}

void BView::SetViewColor(uint8 red, uint8 green, uint8 blue, uint8 alpha)
{
    SetViewColor(rgb_color{red, green, blue, alpha});
}

rgb_color BView::ViewColor() const
{
    return viewColor;
}

ClipRegion BView::VisibleRegion() const
{
    BRect rect = WindowFrame();
    for (const BView* ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent)
        rect = rect & ancestor->WindowFrame();
    ClipRegion region(kits::interface::ToPixels(rect));
    region.IntersectWith(window->buffer.Rect());
    const BPoint origin = ParentOrigin() + frame.LeftTop();
    for (const auto& child : children) {
        if (child->IsHiddenItself())
            continue;
        BRect childFrame = child->frame;
        childFrame.OffsetBy(origin);
        region.Exclude(kits::interface::ToPixels(childFrame));
    }
    // Views in front: the later siblings of this view and of each ancestor.
    for (const BView* view = this; view->parent != nullptr; view = view->parent) {
        bool inFront = false;
        for (const auto& sibling : view->parent->children) {
            if (sibling.get() == view) {
                inFront = true;
                continue;
            }
            if (inFront && !sibling->IsHiddenItself())
                region.Exclude(kits::interface::ToPixels(sibling->WindowFrame()));
        }
    }
    return region;
}

bool BView::PrepareDrawing(ClipRegion& clip, BPoint& origin) const
{
    if (window == nullptr)
        return false;
    assert(window->IsLocked() && "draw into a view only with its window locked");
    if (IsHidden())
        return false;
    clip = VisibleRegion();
    if (window->drawingView == this)
        clip.IntersectWith(window->drawingRegion);
    origin = ParentOrigin() + frame.LeftTop();
    return !clip.IsEmpty();
}

void BView::FillClipped(const ClipRegion& clip, BRect rect, BPoint origin, const pattern& fill)
{
    PaintClipped(window->buffer, clip, rect, origin, fill, Pack(highColor), Pack(lowColor));
}

void BView::FillRect(BRect rect, const pattern& fill)
{
    ClipRegion clip;
    BPoint origin;
    if (!rect.IsValid() || !PrepareDrawing(clip, origin))
        return;
    FillClipped(clip, rect, origin, fill);
    rect.OffsetBy(origin);
    window->DrawingDone(kits::interface::ToPixels(rect));
}

void BView::StrokeRect(BRect rect, const pattern& stroke)
{
    ClipRegion clip;
    BPoint origin;
    if (!rect.IsValid() || !PrepareDrawing(clip, origin))
        return;
    FillClipped(clip, BRect(rect.left, rect.top, rect.right, rect.top), origin, stroke);
    FillClipped(clip, BRect(rect.left, rect.bottom, rect.right, rect.bottom), origin, stroke);
    FillClipped(clip, BRect(rect.left, rect.top, rect.left, rect.bottom), origin, stroke);
    FillClipped(clip, BRect(rect.right, rect.top, rect.right, rect.bottom), origin, stroke);
    rect.OffsetBy(origin);
    window->DrawingDone(kits::interface::ToPixels(rect));
}

void BView::StrokeLine(BPoint start, BPoint end, const pattern& stroke)
{
    penLocation = end;
    ClipRegion clip;
    BPoint origin;
    if (!PrepareDrawing(clip, origin))
        return;
    WalkLine(start, end, [&](int32 x, int32 y) {
        FillClipped(clip, BRect(float(x), float(y), float(x), float(y)), origin, stroke);
    });
    BRect changed(std::min(start.x, end.x), std::min(start.y, end.y), std::max(start.x, end.x),
        std::max(start.y, end.y));
    changed.InsetBy(-1, -1);
    changed.OffsetBy(origin);
    window->DrawingDone(kits::interface::ToPixels(changed));
}

void BView::StrokeLine(BPoint end, const pattern& stroke)
{
    StrokeLine(penLocation, end, stroke);
}

void BView::FillTriangle(BPoint p1, BPoint p2, BPoint p3, const pattern& fill)
{
    ClipRegion clip;
    BPoint origin;
    if (!PrepareDrawing(clip, origin))
        return;
    const BPoint corners[3] = {p1, p2, p3};
    const float top = std::min({p1.y, p2.y, p3.y});
    const float bottom = std::max({p1.y, p2.y, p3.y});
    // Row by row through the pixel centres: the span between the edges crossing each row.
    for (int32 y = int32(std::ceil(top)); float(y) <= bottom; y++) {
        float left = HUGE_VALF;
        float right = -HUGE_VALF;
        for (int32 i = 0; i < 3; i++) {
            const BPoint a = corners[i];
            const BPoint b = corners[(i + 1) % 3];
            if ((float(y) < std::min(a.y, b.y)) || (float(y) > std::max(a.y, b.y)))
                continue;
            if (a.y == b.y) {
                left = std::min({left, a.x, b.x});
                right = std::max({right, a.x, b.x});
                continue;
            }
            const float x = a.x + (float(y) - a.y) * (b.x - a.x) / (b.y - a.y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
        if (left > right)
            continue;
        // The tolerance keeps centres that lie on an edge, whatever the rounding of x.
        const float first = std::ceil(left - 0.001f);
        const float last = std::floor(right + 0.001f);
        if (first <= last)
            FillClipped(clip, BRect(first, float(y), last, float(y)), origin, fill);
    }
    BRect changed(std::min({p1.x, p2.x, p3.x}) - 1, top - 1, std::max({p1.x, p2.x, p3.x}) + 1,
        bottom + 1);
    changed.OffsetBy(origin);
    window->DrawingDone(kits::interface::ToPixels(changed));
}

void BView::FillArc(BPoint center, float xRadius, float yRadius, float startAngle,
    float arcAngle, const pattern& fill)
{
    DrawArc(center, xRadius, yRadius, startAngle, arcAngle, false, fill);
}

void BView::FillArc(BRect rect, float startAngle, float arcAngle, const pattern& fill)
{
    DrawArc(BPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2), rect.Width() / 2,
        rect.Height() / 2, startAngle, arcAngle, false, fill);
}

void BView::StrokeArc(BPoint center, float xRadius, float yRadius, float startAngle,
    float arcAngle, const pattern& stroke)
{
    DrawArc(center, xRadius, yRadius, startAngle, arcAngle, true, stroke);
}

void BView::StrokeArc(BRect rect, float startAngle, float arcAngle, const pattern& stroke)
{
    DrawArc(BPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2), rect.Width() / 2,
        rect.Height() / 2, startAngle, arcAngle, true, stroke);
}

void BView::DrawArc(BPoint center, float xRadius, float yRadius, float startAngle,
    float arcAngle, bool outline, const pattern& fill)
{
    const float values[] = {center.x, center.y, xRadius, yRadius, startAngle, arcAngle};
    const auto finite = [](float value) { return std::isfinite(value); };
    if (!std::all_of(std::begin(values), std::end(values), finite) || xRadius < 0
        || yRadius < 0) {
        return;
    }
    ClipRegion clip;
    BPoint origin;
    if (!PrepareDrawing(clip, origin))
        return;
    // Only the pixel centres of the ellipse's box that may be drawn on are looked at.
    const PixelRect allowed = clip.Bounds();
    const float left = std::max(std::ceil(center.x - xRadius), float(allowed.left) - origin.x);
    const float right = std::min(std::floor(center.x + xRadius), float(allowed.right) - origin.x);
    const float top = std::max(std::ceil(center.y - yRadius), float(allowed.top) - origin.y);
    const float bottom =
        std::min(std::floor(center.y + yRadius), float(allowed.bottom) - origin.y);
    if (left > right || top > bottom)
        return;
    const ArcShape arc(center, xRadius, yRadius, startAngle, arcAngle);
    for (float y = top; y <= bottom; y++) {
        // Runs of covered pixels are filled a row span at a time.
        float runStart = -1;
        bool inRun = false;
        for (float x = left; x <= right + 1; x++) {
            const bool covered = x <= right && arc.Covers(x, y, outline);
            if (covered && !inRun) {
                runStart = x;
                inRun = true;
            }
            else if (!covered && inRun) {
                FillClipped(clip, BRect(runStart, y, x - 1, y), origin, fill);
                inRun = false;
            }
        }
    }
    BRect changed(left, top, right, bottom);
    changed.OffsetBy(origin);
    window->DrawingDone(kits::interface::ToPixels(changed));
}

void BView::BeginLineArray(int32 count)
{
    lineArray.clear();
    lineArrayRoom = std::max(count, int32(0));
}

void BView::AddLine(BPoint start, BPoint end, rgb_color color)
{
    if (lineArrayRoom <= 0)
        return;
    lineArray.push_back(ArrayLine{start, end, color});
    lineArrayRoom--;
}

void BView::EndLineArray()
{
    std::vector<ArrayLine> lines;
    lines.swap(lineArray);
    lineArrayRoom = -1;
    ClipRegion clip;
    BPoint origin;
    if (lines.empty() || !PrepareDrawing(clip, origin))
        return;
    BRect changed(lines.front().start, lines.front().start);
    for (const ArrayLine& line : lines) {
        const uint32 color = Pack(line.color);
        WalkLine(line.start, line.end, [&](int32 x, int32 y) {
            PaintClipped(window->buffer, clip, BRect(float(x), float(y), float(x), float(y)),
                origin, B_SOLID_HIGH, color, color);
        });
        changed = changed | BRect(std::min(line.start.x, line.end.x),
            std::min(line.start.y, line.end.y), std::max(line.start.x, line.end.x),
            std::max(line.start.y, line.end.y));
    }
    changed.InsetBy(-1, -1);
    changed.OffsetBy(origin);
    window->DrawingDone(kits::interface::ToPixels(changed));
}

void BView::DrawBitmap(const BBitmap* bitmap, BRect destination)
{
    if (bitmap == nullptr || !bitmap->IsValid())
        return;
    DrawBitmap(bitmap, bitmap->Bounds(), destination);
}

void BView::DrawBitmap(const BBitmap* bitmap, BRect source, BRect destination)
{
    ClipRegion clip;
    BPoint origin;
    if (bitmap == nullptr || !bitmap->IsValid() || !source.IsValid() || !destination.IsValid()
        || !bitmaps_support_space(bitmap->ColorSpace(), nullptr)
        || !PrepareDrawing(clip, origin)) {
        return;
    }
    const FrameView image{static_cast<uint8*>(bitmap->Bits()), bitmap->BytesPerRow(),
        bitmap->Bounds().IntegerWidth() + 1, bitmap->Bounds().IntegerHeight() + 1,
        bitmap->ColorSpace()};
    kits::interface::FrameBuffer& buffer = window->buffer;
    const kits::interface::TargetImage target{buffer.Pixels(), buffer.Width(), buffer.Width(),
        buffer.Height()};
    destination.OffsetBy(origin);
    const PixelRect pixels = kits::interface::ToPixels(destination);
    kits::interface::DrawBitmap(image, kits::interface::ToPixels(source), target, pixels, clip);
    window->DrawingDone(pixels);
}

void BView::SetFont(const BFont* newFont, uint32 mask)
{
    if (newFont == nullptr)
        return;
    if ((mask & B_FONT_FAMILY_AND_STYLE) != 0) {
        kits::interface::FontAccess::SetFixed(font,
            kits::interface::FontAccess::IsFixed(*newFont));
        font.SetFace(newFont->Face());
    }
    if ((mask & B_FONT_SIZE) != 0)
        font.SetSize(newFont->Size());
    if ((mask & B_FONT_FACE) != 0)
        font.SetFace(newFont->Face());
}

void BView::GetFont(BFont* outFont) const
{
    if (outFont != nullptr)
        *outFont = font;
}

void BView::SetFontSize(float size)
{
    font.SetSize(size);
}

float BView::StringWidth(const char* string) const
{
    return font.StringWidth(string);
}

void BView::MovePenTo(BPoint where)
{
    penLocation = where;
}

void BView::MovePenTo(float x, float y)
{
    MovePenTo(BPoint(x, y));
}

BPoint BView::PenLocation() const
{
    return penLocation;
}

void BView::DrawString(const char* string, BPoint location)
{
    penLocation = location;
    DrawString(string);
}

void BView::DrawString(const char* string)
{
    if (string == nullptr || *string == '\0')
        return;
    ClipRegion clip;
    BPoint origin;
    if (!PrepareDrawing(clip, origin)) {
        penLocation.x += font.StringWidth(string);
        return;
    }
    PixelRect changed;
    penLocation.x += kits::interface::Fonts().Draw(window->buffer, clip, font, string,
        penLocation + origin, Pack(highColor), changed);
    if (!changed.IsEmpty())
        window->DrawingDone(changed);
}

void BView::Invalidate()
{
    Invalidate(Bounds());
}

void BView::Invalidate(BRect rect)
{
    if (window == nullptr || IsHidden() || !rect.IsValid())
        return;
    rect.OffsetBy(ParentOrigin() + frame.LeftTop());
    window->InvalidatePixels(kits::interface::ToPixels(rect & WindowFrame()));
}

void BView::DragMessage(BMessage* message, BRect dragRect)
{
    if (message == nullptr || window == nullptr)
        return;
    const BPoint pointer = window->lastMouse - (ParentOrigin() + frame.LeftTop());
    window->StartDrag(*message, pointer - dragRect.LeftTop());
}

status_t BView::Archive(BMessage* archive, bool deep) const
{
    if (status_t status = BHandler::Archive(archive, deep); status != B_OK)
        return status;
    status_t status = archive->AddRect("_frame", frame);
    if (status == B_OK)
        status = archive->AddInt32("_resize_mode", int32(resizingMode));
    if (status == B_OK)
        status = archive->AddInt32("_flags", int32(flags));
    for (rgb_color color : {highColor, lowColor, viewColor}) {
        if (status == B_OK)
            status = archive->AddInt32("_color", ColorToInt(color));
    }
    if (status == B_OK)
        status = archive->AddFloat("_fflt", font.Size());
    if (status != B_OK || !deep)
        return status;
    for (const auto& child : children) {
        // A child that refuses to be archived (an overlay of the window) is left out, as is one
        // nested too deep to be carried.
        BMessage childArchive;
        if (child->Archive(&childArchive, true) == B_OK)
            (void)archive->AddMessage("_views", &childArchive);
    }
    return B_OK;
}

BArchivable* BView::Instantiate(BMessage* archive)
{
    if (!validate_instantiation(archive, "BView"))
        return nullptr;
    return new BView(archive);
}

void BView::DeliverDropped(BView* view, BMessage* message)
{
    if (view->shelf != nullptr)
        view->shelf->MessageReceived(message);
    else
        view->MessageReceived(message);
}

void BView::MakeFocus(bool focus)
{
    if (window == nullptr)
        return;
    if (focus) {
        // The view losing the focus hears of it, so that it can stop showing it.
        if (BView* old = window->focus; old != nullptr && old != this)
            old->MakeFocus(false);
        window->SetFocus(this);
    }
    else if (window->focus == this)
        window->SetFocus(nullptr);
}

bool BView::IsFocus() const
{
    return window != nullptr && window->focus == this;
}

BView* BView::ViewAt(BPoint point)
{
    if (IsHiddenItself() || !Bounds().Contains(point))
        return nullptr;
    // Front-most first.
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        if (BView* found = (*child)->ViewAt((*child)->ConvertFromParent(point)); found != nullptr)
            return found;
    }
    return this;
}

void BView::Draw(BRect)
{
}

void BView::AttachedToWindow()
{
}

void BView::DetachedFromWindow()
{
}

void BView::FrameMoved(BPoint)
{
}

void BView::FrameResized(float, float)
{
}

void BView::MouseDown(BPoint)
{
}

void BView::MouseUp(BPoint)
{
}

void BView::MouseMoved(BPoint, uint32, const BMessage*)
{
}

void BView::KeyDown(const char*, int32)
{
}

void BView::MessageReceived(BMessage* message)
{
    if (message->WasDropped() && parent != nullptr) {
        DeliverDropped(parent, message);
        return;
    }
    BHandler::MessageReceived(message);
}
