#include "kits/interface/Shelf.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Archivable.h"
#include "kits/app/Looper.h"
#include "kits/app/Message.h"
#include "kits/interface/DropExchange.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"

#include <algorithm>
#include <memory>

namespace {

// Posted by a replicant's dragger to its shelf: remove the replicant with the int32 "id".
constexpr uint32 REMOVE_REPLICANT = FourCC("_SRR");

}

BShelf::BShelf(BView* container)
    :
    BHandler("shelf"),
    container(container)
{
    // Our other programs may drop replicants here too.
    kits::interface::Drops().StartListening();
    if (container == nullptr)
        return;
    container->shelf = this;
    if (BWindow* window = container->Window(); window != nullptr)
        window->AddHandler(this);
}

BShelf::~BShelf()
{
    kits::interface::Drops().StopListening();
    if (container == nullptr)
        return;
    container->shelf = nullptr;
    Prune();
    std::vector<Replicant> owned;
    owned.swap(replicants);
    for (const Replicant& replicant : owned) {
        container->RemoveChild(replicant.view);
        delete replicant.view;
    }
}

void BShelf::ContainerGone()
{
    container = nullptr;
    replicants.clear();
    // Leave the window now: it may go before this shelf does.
    if (BLooper* looper = Looper(); looper != nullptr)
        looper->RemoveHandler(this);
}

bool BShelf::IsChild(const BView* view) const
{
    if (container == nullptr)
        return false;
    for (int32 i = 0; i < container->CountChildren(); i++) {
        if (container->ChildAt(i) == view)
            return true;
    }
    return false;
}

void BShelf::Prune()
{
    std::erase_if(replicants, [this](const Replicant& replicant) {
        return !IsChild(replicant.view);
    });
}

void BShelf::MessageReceived(BMessage* message)
{
    if (message->what == REMOVE_REPLICANT) {
        int32 id;
        if (message->FindInt32("id", &id) != B_OK)
            return;
        Prune();
        auto found = std::find_if(replicants.begin(), replicants.end(),
            [id](const Replicant& replicant) { return replicant.id == uint32(id); });
        if (found != replicants.end())
            (void)DeleteReplicant(found->view);
        return;
    }
    if (!message->WasDropped()) {
        BHandler::MessageReceived(message);
        return;
    }
    // Only archives land on a shelf; whatever else was dropped is refused.
    if (message->what != B_ARCHIVED_OBJECT || container == nullptr)
        return;
    BPoint offset;
    const BPoint dropPoint = message->DropPoint(&offset);
    BPoint location = container->ConvertFromScreen(dropPoint) - offset;
    // Dragged by a handle far from its corner, the copy would start out of sight above or left
    // of the container, where it could not be reached again: it stops at the edge.
    location.x = std::max(location.x, 0.0f);
    location.y = std::max(location.y, 0.0f);
    (void)AddReplicant(message, location);
}

status_t BShelf::AddReplicant(BMessage* archive, BPoint location)
{
    if (archive == nullptr)
        return B_BAD_VALUE;
    if (container == nullptr)
        return B_NO_INIT;
    std::unique_ptr<BArchivable> object(instantiate_object(archive));
    auto* view = dynamic_cast<BView*>(object.get());
    if (view == nullptr)
        return B_ERROR;
    view->MoveTo(location);
    container->AddChild(view);
    if (view->Parent() != container)
        return B_ERROR;
    object.release();
    Prune();
    replicants.push_back({view, nextId++});
    return B_OK;
}

int32 BShelf::CountReplicants() const
{
    return int32(std::count_if(replicants.begin(), replicants.end(),
        [this](const Replicant& replicant) { return IsChild(replicant.view); }));
}

BView* BShelf::ReplicantAt(int32 index) const
{
    for (const Replicant& replicant : replicants) {
        if (!IsChild(replicant.view))
            continue;
        if (index == 0)
            return replicant.view;
        index--;
    }
    return nullptr;
}

status_t BShelf::DeleteReplicant(int32 index)
{
    BView* replicant = index >= 0 ? ReplicantAt(index) : nullptr;
    if (replicant == nullptr)
        return B_BAD_INDEX;
    return DeleteReplicant(replicant);
}

status_t BShelf::DeleteReplicant(BView* replicant)
{
    Prune();
    auto found = std::find_if(replicants.begin(), replicants.end(),
        [replicant](const Replicant& entry) { return entry.view == replicant; });
    if (replicant == nullptr || found == replicants.end())
        return B_NAME_NOT_FOUND;
    replicants.erase(found);
    container->RemoveChild(replicant);
    delete replicant;
    return B_OK;
}

BView* BShelf::ContainerView() const
{
    return container;
}

BShelf* BShelf::ShelfOf(const BView* view, uint32* id)
{
    *id = 0;
    if (view == nullptr || view->Parent() == nullptr)
        return nullptr;
    BShelf* shelf = view->Parent()->shelf;
    if (shelf == nullptr)
        return nullptr;
    for (const Replicant& replicant : shelf->replicants) {
        if (replicant.view == view) {
            *id = replicant.id;
            return shelf;
        }
    }
    return nullptr;
}
