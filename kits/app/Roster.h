#pragma once
// BRoster and app_info: what the running application is, and opening documents with the desktop.

#include "kits/kernel/OS.h"
#include "kits/storage/EntryRef.h"

class BMessage;

using team_id = int32;
using port_id = int32;

// Room for a signature and its terminating null.
constexpr int32 B_MIME_TYPE_LENGTH = 241;

// Describes a running application. ref names its executable file.
struct app_info {
    thread_id thread = -1;
    team_id team = -1;
    port_id port = -1;
    uint32 flags = 0;
    entry_ref ref;
    char signature[B_MIME_TYPE_LENGTH] = {};
};

// The roster of applications. Any thread may use it; it holds no state of its own.
class BRoster {
public:
    // Opens the document with the application the desktop prefers for it (through xdg-open),
    // which runs on its own: the call returns once the opener has been started, without waiting
    // for it. B_BAD_VALUE for a null or empty ref, B_ENTRY_NOT_FOUND when the document does not
    // exist, B_LAUNCH_FAILED when there is no opener or it cannot be started. initialMessage is
    // not sent (the opener does not understand messages); *team, when given, is set to -1, as
    // the opener is not an application of this platform.
    status_t Launch(const entry_ref* ref, const BMessage* initialMessage = nullptr,
        team_id* team = nullptr) const;
};

// Lives for the whole process.
extern const BRoster* be_roster;
