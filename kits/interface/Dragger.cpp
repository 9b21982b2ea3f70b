#include "kits/interface/Dragger.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/Shelf.h"
#include "kits/interface/Window.h"

#include <cmath>

namespace {

// How far the pointer must move with the button held before a press becomes a drag.
constexpr float DRAG_DISTANCE = 3;
constexpr uint32 REMOVE_REPLICANT = FourCC("_SRR");

}

BDragger::BDragger(BRect frame, BView* target, uint32 resizingMode, uint32 flags)
    :
    BView(frame, "_dragger_", resizingMode, flags),
    target(target)
{
    SetViewColor(216, 216, 216);
}

BDragger::BDragger(BMessage* archive)
    :
    BView(archive),
    target(nullptr)
{
}

BDragger::~BDragger() = default;

BArchivable* BDragger::Instantiate(BMessage* archive)
{
    if (!validate_instantiation(archive, "BDragger"))
        return nullptr;
    return new BDragger(archive);
}

BView* BDragger::Target() const
{
    return target != nullptr ? target : Parent();
}

void BDragger::Draw(BRect)
{
    // A ridged handle: two dark strokes across the corner, each with a light edge.
    SetHighColor(80, 80, 80);
    StrokeLine(BPoint(0, 7), BPoint(7, 0));
    StrokeLine(BPoint(4, 7), BPoint(7, 4));
    SetHighColor(255, 255, 255);
    StrokeLine(BPoint(1, 7), BPoint(7, 1));
    StrokeLine(BPoint(5, 7), BPoint(7, 5));
}

void BDragger::MouseDown(BPoint where)
{
    int32 buttons = 0;
    if (Window() != nullptr && Window()->CurrentMessage() != nullptr)
        (void)Window()->CurrentMessage()->FindInt32("buttons", &buttons);
    if (buttons == B_PRIMARY_MOUSE_BUTTON) {
        pressed = true;
        pressPoint = where;
        return;
    }
    if ((buttons & B_SECONDARY_MOUSE_BUTTON) != 0)
        ShowShelfMenu(where);
}

void BDragger::MouseMoved(BPoint where, uint32, const BMessage*)
{
    if (!pressed)
        return;
    if (std::fabs(where.x - pressPoint.x) < DRAG_DISTANCE
        && std::fabs(where.y - pressPoint.y) < DRAG_DISTANCE) {
        return;
    }
    pressed = false;
    StartDrag();
}

void BDragger::MouseUp(BPoint)
{
    pressed = false;
}

void BDragger::StartDrag()
{
    BView* dragged = Target();
    if (dragged == nullptr)
        return;
    // Archived only now that the drag starts: archiving may have consequences for the target's
    // program.
    BMessage archive(B_ARCHIVED_OBJECT);
    if (dragged->Archive(&archive, true) != B_OK)
        return;
    BRect dragRect = dragged->Bounds();
    dragRect.OffsetBy(dragged->ConvertToScreen(B_ORIGIN) - ConvertToScreen(B_ORIGIN));
    DragMessage(&archive, dragRect);
}

void BDragger::ShowShelfMenu(BPoint where)
{
    uint32 id = 0;
    BShelf* shelf = BShelf::ShelfOf(Target(), &id);
    if (shelf == nullptr || shelf->Looper() == nullptr)
        return;
    BPopUpMenu menu("Replicant", false, false);
    auto* remove = new BMenuItem("Remove replicant", nullptr);
    menu.AddItem(remove);
    if (menu.Go(ConvertToScreen(where), false, true, false) != remove)
        return;
    // Posted: the replicant, with this dragger inside it, goes once this hook has returned.
    BMessage request(REMOVE_REPLICANT);
    request.AddInt32("id", int32(id));
    (void)shelf->Looper()->PostMessage(&request, shelf);
}
