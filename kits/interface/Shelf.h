#pragma once
// BShelf: a view that takes dropped replicants and keeps them as its children.

#include "kits/app/Handler.h"
#include "kits/kernel/Point.h"

#include <vector>

class BDragger;
class BView;

// Makes a container view accept replicants: a B_ARCHIVED_OBJECT message dropped on the
// container (or on one of its children that does not handle it) is rebuilt with
// instantiate_object and, when it is a view, added as a child of the container at the drop point
// minus the drop offset, so the copy lands where its dragged outline was, though never above or
// left of the container. The shelf owns its replicants. Anything else dropped there, and an
// archive that cannot be rebuilt, is refused: nothing is added.
//
// The shelf is a handler of the container's window, created and deleted with that window locked;
// its hooks run on the window's thread with the window locked.
class BShelf : public BHandler {
public:
    // container: the view replicants go into; not owned. If it is in a window, the shelf joins
    // that window's handlers. The container may go away first: the shelf then holds nothing.
    explicit BShelf(BView* container);
    // Removes and deletes the replicants still in the container.
    ~BShelf() override;

    // Takes dropped archives and the removal requests of replicants' draggers.
    void MessageReceived(BMessage* message) override;

    // Rebuilds the object archived in archive and adds it at location (container coordinates:
    // its frame's top-left). B_BAD_VALUE for a null archive, B_NO_INIT without a container,
    // B_ERROR when nothing can be rebuilt from it or it is no view (nothing is kept then).
    status_t AddReplicant(BMessage* archive, BPoint location);
    // Replicants still in the container, in the order added.
    int32 CountReplicants() const;
    // Null when index is out of range. Owned by the shelf.
    BView* ReplicantAt(int32 index) const;
    // Removes the replicant from the container and deletes it. B_BAD_INDEX for an index out of
    // range; B_NAME_NOT_FOUND for a view that is no replicant of this shelf.
    status_t DeleteReplicant(int32 index);
    status_t DeleteReplicant(BView* replicant);
    // Null once the container is gone.
    BView* ContainerView() const;

private:
    friend class BView;
    friend class BDragger;

    struct Replicant {
        BView* view;
        uint32 id;
    };

    // The container is being destroyed: its children go with it.
    void ContainerGone();
    // Forgets replicants that are no longer children of the container.
    void Prune();
    // Whether view is a child of the container now; compares pointers only.
    bool IsChild(const BView* view) const;
    // The shelf that holds view as a replicant, and its id there; null and 0 when none does.
    static BShelf* ShelfOf(const BView* view, uint32* id);

    BView* container;
    std::vector<Replicant> replicants;
    uint32 nextId = 1;
};
