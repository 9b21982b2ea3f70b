#include "kits/app/Roster.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const BRoster ROSTER;

constexpr const char* OPENER = "xdg-open";

// Whether the opener can be found on the search path, so that a missing one is reported rather
// than lost in the background.
bool HasOpener()
{
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return false;
    std::string_view rest(path);
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        const std::string candidate = std::string(folder.empty() ? "." : folder) + "/" + OPENER;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return false;
}

}

const BRoster* be_roster = &ROSTER;

status_t BRoster::Launch(const entry_ref* ref, const BMessage*, team_id* team) const
{
    if (team != nullptr)
        *team = -1;
    if (ref == nullptr || ref->path.empty())
        return B_BAD_VALUE;
    struct stat info;
    if (stat(ref->path.c_str(), &info) != 0)
        return B_ENTRY_NOT_FOUND;
    if (!HasOpener())
        return B_LAUNCH_FAILED;
    // A shell starts the opener in the background and ends at once, so the opener is nobody's
    // child here and this call only waits for the shell. The path travels as an argument, never
    // as part of the command text.
    const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 </dev/null &", "sh",
        ref->path.c_str(), nullptr};
    pid_t shell;
    if (posix_spawn(&shell, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return B_LAUNCH_FAILED;
    int status;
    while (waitpid(shell, &status, 0) < 0) {
        if (errno != EINTR)
            return B_LAUNCH_FAILED;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? B_OK : B_LAUNCH_FAILED;
}
