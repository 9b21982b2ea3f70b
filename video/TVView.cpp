#include "video/TVView.h"

TVView::TVView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags),
    NodeManager(),
    startStopLock(create_sem(0, "startstopSem"))
{
    SetViewColor(0, 0, 0, 0);
    release_sem(startStopLock);
}

TVView::~TVView()
{
    // Unbounded: the lock is held only while a view is built or archived, never while waiting
    // on another thread.
    acquire_sem(startStopLock);
    StopNodes();
    delete_sem(startStopLock);
}

void TVView::AttachedToWindow()
{
    BView::AttachedToWindow();
    StartNodes(this);
}

void TVView::DetachedFromWindow()
{
    StopNodes();
    BView::DetachedFromWindow();
}
